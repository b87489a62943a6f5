// Every agent of the build registers its objects in GETNEXT order: the framework refuses a
// table out of order and the agent then exits before it parses its arguments, so a SET never
// gets its one-line answer ("wrong-value", "no-creation", ...).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bios_image.h"
#include "model_code.h"
#include "registry.h"
#include "temp_root.h"

namespace {

void setText(const char* key, const char* text)
{
    SetRegData(key, text, static_cast<unsigned long>(std::strlen(text)));
}

std::vector<std::string> agentPaths()
{
    std::vector<std::string> paths;
    std::ifstream in(QV_AGENT_LIST);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) paths.push_back(line);
    return paths;
}

TEST(AgentRegistrationTest, EveryAgentRegistersItsObjectsInGetNextOrder)
{
    const std::vector<std::string> agents = agentPaths();
    ASSERT_GE(agents.size(), 8u);
    for (const std::string& agent : agents) {
        qv::test::TempRoot root;
        ASSERT_TRUE(qv::test::storeModelCode(55));
        // The volume capacity agent finds its lock file through these, as on an installed server.
        setText("SOFTWARE\\Quorvane\\Trivoke=Globalpath", "/usr/qvserver/etc");
        setText("SOFTWARE\\Quorvane\\Trivoke\\Qvscdll\\CurrentVersion=Cfgfile", "qvvolcap.cfg");
        root.writeFile("/usr/qvserver/etc/qvvolcap.cfg", "");
        qv::sim::BiosInventory inventory;   // the device agent records the server at start
        inventory.modelCode = 55;
        qv::sim::writeBiosImage(root.at("/dev/mem"),
                                qv::sim::renderBiosImage(inventory, qv::sim::DmiFormat::Smbios21));
        const std::string log = root.at("/agent.log");
        const qv::test::ProgramResult r = qv::test::runProgram(
            agent, {"-s", ".1.3.6.1.4.1.93071.2.23", "integer", "not-a-number"},
            {{"QV_LOG_FILE", log}});
        EXPECT_FALSE(r.out.empty()) << agent << " stopped before answering the SET";
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << agent << ": " << r.out;
        const std::string messages = root.exists("/agent.log") ? root.readFile("/agent.log") : "";
        EXPECT_EQ(messages.find("out of GETNEXT order"), std::string::npos) << agent << ": " << messages;
    }
}

} // namespace
