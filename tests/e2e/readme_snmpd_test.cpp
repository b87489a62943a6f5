// The README's snmpd lines as a manager meets them: the real snmpd with exactly those pass lines
// (their programs taken from what is installed) on the simulated server. Every line's subtree
// answers GETNEXT and GET, SETs are read back, and a text that could not be read back whole is
// refused without anything stored.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "private_snmpd.h"
#include "registry.h"
#include "service_process.h"
#include "temp_root.h"

namespace {

namespace fs = std::filesystem;
using qv::e2e::PassLine;

constexpr char kInstalledBin[] = "/usr/qvserver/bin/";
const std::string kEntity = ".1.3.6.1.4.1.93071.2.36.1.1";
const std::string kDevice = kEntity + ".5.1.1";   // the device table's columns
const std::string kCage = ".1.3.6.1.4.1.93071.2.23.28";
const std::string kSystem = ".1.3.6.1.2.1.1";

// The pass lines exactly as the README gives them: subtree and the installed program's path.
std::vector<PassLine> readmePassLines()
{
    std::ifstream in(QV_README);
    std::vector<PassLine> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || !std::isspace(static_cast<unsigned char>(line[0]))) continue;   // code lines are indented
        std::istringstream words(line);
        std::string pass, subtree, program, more;
        if (words >> pass >> subtree >> program && !(words >> more) && pass == "pass" && subtree[0] == '.')
            lines.push_back({subtree, program});
    }
    return lines;
}

// The files that ship as /usr/qvserver/bin/NAME, by NAME: the staged install, or the agents of
// this build tree.
std::map<std::string, std::string> shippedAgents()
{
    const std::string buildDir = qv::test::buildPath("");
    std::map<std::string, std::string> agents;
    std::ifstream list(QV_AGENT_LIST);
    for (std::string path; std::getline(list, path);)
        if (path.rfind(buildDir, 0) == 0)
            agents[fs::path(path).filename()] = qv::test::installedPath(path.substr(buildDir.size()));
    return agents;
}

// One answer line of the net-snmp clients ("OID = TYPE: value"), split in its three parts.
struct Varbind {
    std::string oid, type, value;
};
Varbind parseVarbind(std::string line)
{
    if (!line.empty() && line.back() == '\n') line.pop_back();
    const size_t equals = line.find(" = ");
    if (equals == std::string::npos) return {};
    Varbind v{line.substr(0, equals), "", line.substr(equals + 3)};
    const size_t colon = v.value.find(": ");
    if (colon != std::string::npos && v.value.find_first_of(" \"") > colon) {
        v.type = v.value.substr(0, colon);
        v.value.erase(0, colon + 2);
    }
    return v;
}

// Every regular file below the folders where the suite keeps its state, with its bytes.
std::map<std::string, std::string> storedFiles(const qv::test::TempRoot& root)
{
    std::map<std::string, std::string> files;
    for (const char* folder : {"/var/qvserver", "/usr/qvserver/etc"})
        for (const auto& entry : fs::recursive_directory_iterator(root.at(folder)))
            if (entry.is_regular_file()) files[entry.path()] = qv::test::readWholeFile(entry.path());
    return files;
}

class ReadmeSnmpd : public ::testing::Test {
protected:
    void SetUp() override
    {
        readme = readmePassLines();
        ASSERT_GE(readme.size(), 17u) << "the README's snmpd lines were not found";
        const std::map<std::string, std::string> agents = shippedAgents();
        std::vector<PassLine> installed;
        std::string conf;
        for (const PassLine& line : readme) {
            const std::string name = line.program.substr(line.program.rfind('/') + 1);
            ASSERT_EQ(line.program, kInstalledBin + name) << "not an installed program";
            ASSERT_EQ(agents.count(name), 1u) << name << " is no agent of this build";
            installed.push_back({line.subtree, agents.at(name)});
            conf += "pass " + line.subtree + " " + installed.back().program + "\n";
        }

        // The server as installed: the simulated controller and BIOS tables, the model code
        // stored by platprobe, the suite's version and the volume files' place recorded by the
        // installer, the software lists the version agent reads, and one related component.
        ASSERT_TRUE(qv::test::startSimulator(simulator, root, qv::test::defaultScenario()));
        const auto probe = qv::test::runProgram(qv::test::installedPath("platform/platprobe/platprobe"), {"-w"});
        ASSERT_EQ(probe.exitCode, 0) << probe.out << probe.err;
        setRegistryText("SOFTWARE\\Quorvane\\Trivoke=Version", "5.10");
        setRegistryText("SOFTWARE\\Quorvane\\Trivoke=Globalpath", "/usr/qvserver/etc");
        setRegistryText("SOFTWARE\\Quorvane\\Trivoke\\Qvscdll\\CurrentVersion=Cfgfile", "qvvolcap.cfg");
        fs::copy(QV_VOLUME_FIXTURE, root.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        root.writeFile("/etc/snmp/snmpd.conf", conf);
        root.writeFile("/usr/qvserver/etc/qvswa.cfg", "MNGSW\n*\nAGENTS qvassetagent qvdeviceagent qvrevagent *\n");
        root.writeFile("/usr/qvserver/etc/qvassetagent.ini",
                       "[TOTALCOMPONENTS]\nComponents=1\n[Component1]\nSysObjID=1.3.6.1.4.1.2021\nUniqueID=blade-1\n");

        // The cage service answers the cage agent's download URL and proxy.
        cageService.start(qv::test::installedPath("storage/qvbayd/qvbayd"), {}, {{"QV_FOREGROUND", "1"}});
        ASSERT_TRUE(qv::test::eventually([&] { return root.exists("/var/qvserver/qvbayd.socket"); }));

        qv::e2e::SnmpdEndpoint endpoint;
        endpoint.systemGroupByPass = true;   // as the README says, for the compatibility agent
        snmpd = std::make_unique<qv::e2e::PrivateSnmpd>(root.path() + "/snmpd", installed, endpoint);
    }

    void setRegistryText(const char* key, const std::string& text)
    {
        ASSERT_EQ(SetRegData(key, text.c_str(), static_cast<unsigned>(text.size() + 1)), 0u) << key;
    }

    Varbind get(const std::string& oid) const { return parseVarbind(snmpd->get({oid}).out); }

    qv::test::TempRoot root;
    qv::test::ScopedEnv logFile{"QV_LOG_FILE", (root.path() + "/qv.log").c_str()};
    std::vector<PassLine> readme;
    qv::test::ChildProcess simulator;
    qv::test::ChildProcess cageService;
    std::unique_ptr<qv::e2e::PrivateSnmpd> snmpd;
};

TEST_F(ReadmeSnmpd, EveryLineAnswersGetNextAndGetAndSetsAreReadBack)
{
    for (const PassLine& line : readme) {
        SCOPED_TRACE(line.subtree + " " + line.program);
        // No line's subtree may hold another's: snmpd would hand that one's GETs and SETs to
        // the first line holding the identifier.
        for (const PassLine& other : readme)
            EXPECT_TRUE(&other == &line || other.subtree.rfind(line.subtree + ".", 0) != 0) << other.subtree;

        const auto next = snmpd->getNext(line.subtree);
        const Varbind first = parseVarbind(next.out);
        ASSERT_EQ(first.oid.rfind(line.subtree + ".", 0), 0u) << next.out << next.err;
        const Varbind again = get(first.oid);
        EXPECT_EQ(again.oid, first.oid);
        EXPECT_EQ(again.type, first.type);
        // Live counters and gauges may move between the two requests.
        if (first.type != "Counter32" && first.type != "Gauge32" && first.type != "Timeticks") {
            EXPECT_EQ(again.value, first.value);
        }
    }

    const struct {
        std::string oid, text;
    } sets[] = {
        {kDevice + ".19.1", "Rack 12"},                    // the device table's Location
        {kEntity + ".1.1.0", "http://mgmt.example/qv"},    // the entity agent's URL
    };
    for (const auto& s : sets) {
        const auto set = snmpd->set(s.oid, "s", s.text);
        EXPECT_EQ(set.exitCode, 0) << s.oid << "\n" << set.out << set.err;
        EXPECT_EQ(snmpd->get({s.oid}).out, s.oid + " = STRING: \"" + s.text + "\"\n");
    }
    // The entity agent's four lines name one program: the version agent lists it once.
    const auto software = snmpd->walk(".1.3.6.1.4.1.93071.2.23.24.2.1.1.2");
    std::vector<std::string> names;
    std::istringstream lines(software.out);
    for (std::string line; std::getline(lines, line);) names.push_back(parseVarbind(line).value);
    EXPECT_EQ(names, (std::vector<std::string>{"\"qvrevagent\"", "\"qvassetagent\"", "\"qvdeviceagent\""}))
        << software.out;
}

TEST_F(ReadmeSnmpd, TextsWithALineFeedAreRefusedAndOthersReadBackWhole)
{
    const std::string textObjects[] = {
        kSystem + ".4.0",     // sysContact (compatibility agent, registry)
        kSystem + ".6.0",     // sysLocation
        kEntity + ".1.1.0",   // URL (entity agent, its INI file)
        kEntity + ".2.11.0",  // sysPhone (entity agent, registry)
        kDevice + ".19.1",    // Location (device entity store)
        kDevice + ".5.1",     // ManagementURL
        kCage + ".21.0",      // download URL (cage service)
        kCage + ".24.0",      // download proxy
    };
    const char* lineFeeds[] = {"31 32 0A 5B 65 76 69 6C 5D 0A 6B 3D 76", "6F 6B 0A", "0A"};
    for (const std::string& oid : textObjects) {
        const Varbind before = get(oid);
        ASSERT_FALSE(before.oid.empty()) << oid;
        for (const char* value : lineFeeds) {
            SCOPED_TRACE(oid + " x " + value);
            const auto files = storedFiles(root);
            const auto set = snmpd->set(oid, "x", value);
            EXPECT_NE(set.exitCode, 0) << set.out;
            EXPECT_NE(set.err.find("wrongValue"), std::string::npos) << set.err;
            EXPECT_EQ(storedFiles(root), files);
            const Varbind after = get(oid);
            EXPECT_EQ(after.value, before.value);
            EXPECT_EQ(after.type, before.type);
        }
    }

    // Texts without a line feed are stored and read back whole, a lone carriage return included.
    // (The entity agent's INI file takes no carriage return either, and a download URL would
    // start a download: those objects are left out here.)
    const struct {
        const char* hex;
        const char* shown;
    } texts[] = {
        {"52 61 63 6B 20 31 32", "STRING: \"Rack 12\""},
        {"31 32 0D 33", "STRING: \"12\r3\""},
    };
    for (const auto& t : texts)
        for (const std::string& oid : {kSystem + ".4.0", kEntity + ".2.11.0", kDevice + ".17.1"}) {
            SCOPED_TRACE(oid + " x " + t.hex);
            const auto set = snmpd->set(oid, "x", t.hex);
            EXPECT_EQ(set.exitCode, 0) << set.out << set.err;
            EXPECT_EQ(snmpd->get({oid}).out, oid + " = " + t.shown + "\n");
        }
}

} // namespace
