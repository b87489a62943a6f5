// A private root with an empty registry and the log in a file, for the restart settings tests.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "temp_root.h"

namespace qv::test {

inline constexpr char kAsrRegistrySection[] = "[System\\CurrentControlSet\\Services\\AsrDev\\Parameters]";

class AsrRegistryTest : public ::testing::Test {
protected:
    // Writes a registry holding only the restart section with these lines ("Name=b(4)..." form).
    void writeRegistry(const std::vector<std::string>& lines) const
    {
        std::string text = std::string("\r\n") + kAsrRegistrySection + "\r\n";
        for (const std::string& line : lines) text += line + "\r\n";
        root.writeFile("/var/qvserver/registry.ini", text);
    }
    std::string registry() const
    {
        return root.exists("/var/qvserver/registry.ini") ? root.readFile("/var/qvserver/registry.ini") : "";
    }
    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        if (!root.exists("/asr.log")) return lines;
        std::istringstream in(root.readFile("/asr.log"));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool logged(const std::string& text) const
    {
        for (const std::string& line : logLines())
            if (line.find(text) != std::string::npos) return true;
        return false;
    }

    TempRoot root;
    ScopedEnv logFile{"QV_LOG_FILE", (root.path() + "/asr.log").c_str()};
};

} // namespace qv::test
