// Every installed program that reads the BIOS tables, on a server whose BIOS memory holds none:
// each ends as a program of the suite should (its status and log line), never by a signal, and
// writes nothing but its log. The tables' absence reaches several of them as an exception thrown
// inside a shared library and caught in the program, so this also shows that library and program
// share one C++ runtime in the configuration that is installed.
#include <gtest/gtest.h>

#include "model_code.h"
#include "temp_root.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* program;             // build-tree place of the installed program
    std::vector<std::string> args;
    int status;
    const char* logged;              // a line the program must log; nullptr: not checked
};

const Case kCases[] = {
    {"inventory/qvhostagent/qvhostagent", {"-g", ".1.3.6.1.4.1.93071.2.23.7.3.1.0"}, 1,
     "qvhostagent: DMI BIOS not found"},
    {"health/qvmemagent/qvmemagent", {"-g", ".1.3.6.1.4.1.93071.2.23.21.3.1.1.2.0"}, 1,
     "qvmemagent: An unknow exception was handled"},
    {"health/qvmemagent/qvmemagent", {"-n", ".1.3.6.1.4.1.93071.2.23.21.3"}, 1,
     "qvmemagent: An unknow exception was handled"},
    {"health/qvmemd/qvmemd", {}, 1, "qvmemd: No DMI table"},
    {"swversion/qvrevcollect/qvrevcollect", {}, 1, nullptr},
    {"inventory/qvdeviceagent/qvdeviceagent", {"-n", ".1.3.6.1.4.1.93071.2.36.1.1.5"}, 1,
     "qvdeviceagent: Could not define velkarn entity."},
    {"inventory/qvassetagent/qvassetagent", {"-n", ".1.3.6.1.4.1.93071.2.36.1.1"}, 0, nullptr},
    {"inventory/qvslotagent/qvslotagent", {"-n", ".1.3.6.1.4.1.93071.2.23.10"}, 0, nullptr},
    {"mgmtctl/qvbmccached/qvbmccached", {}, 1, nullptr},
    {"platform/platprobe/platprobe", {}, 1, nullptr},
};

// Every file below the root with its contents, the log file left out.
std::map<std::string, std::string> snapshot(const qv::test::TempRoot& root, const std::string& log)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root.path())) {
        if (entry.path() == log) continue;
        files[entry.path().string()] = entry.is_regular_file() ? qv::test::readWholeFile(entry.path()) : "";
    }
    return files;
}

TEST(NoDmiTables, EveryProgramReadingThemEndsAsItShouldAndWritesNothing)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.program) + (c.args.empty() ? "" : " " + c.args[0]));
        qv::test::TempRoot root;
        ASSERT_TRUE(qv::test::storeModelCode(55));
        root.writeFile("/dev/mem", std::string(1 << 20, '\0'));
        root.writeFile("/usr/qvserver/etc/qvswabios.dat", "[BIOSInfo]\nCount=0\n");
        const std::string log = root.at("/log");
        const auto before = snapshot(root, log);

        const auto result = qv::test::runProgram(qv::test::installedPath(c.program), c.args,
                                                 {{"QV_FOREGROUND", "1"}, {"QV_LOG_FILE", log}});
        EXPECT_EQ(result.exitCode, c.status) << result.out << result.err;
        if (c.logged != nullptr) {
            EXPECT_NE(qv::test::readWholeFile(log).find(c.logged), std::string::npos)
                << qv::test::readWholeFile(log);
        }
        EXPECT_EQ(snapshot(root, log), before);
    }
}

} // namespace
