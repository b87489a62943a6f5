// qvsim-bios --format smbios21|dmi20|dmi10 [--model N] [--scenario FILE] [--nvram FILE] OUTPUT
// Writes the simulated server's BIOS memory image, and its CMOS bytes when the scenario has
// them and --nvram names a file. The format defaults to the scenario's.
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "bios_image.h"

namespace {

struct Options {
    std::optional<qv::sim::DmiFormat> format;
    std::optional<uint8_t> model;
    std::string scenario;
    std::string nvram;
    std::string output;
};

int usage()
{
    std::cerr << "usage: qvsim-bios [--format smbios21|dmi20|dmi10] [--model N] [--scenario FILE] "
                 "OUTPUT\n";
    return 2;
}

std::optional<uint8_t> parseModel(const std::string& text)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long n = std::strtoul(text.c_str(), nullptr, 10);
    if (n > 255) return std::nullopt;
    return static_cast<uint8_t>(n);
}

// False on a malformed command line.
bool parseOptions(int argc, char** argv, Options& opt)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--format" && hasValue) {
            opt.format = qv::sim::dmiFormatFromName(argv[++i]);
            if (!opt.format) return false;
        } else if (arg == "--model" && hasValue) {
            opt.model = parseModel(argv[++i]);
            if (!opt.model) return false;
        } else if (arg == "--scenario" && hasValue) {
            opt.scenario = argv[++i];
        } else if (arg == "--nvram" && hasValue) {
            opt.nvram = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && opt.output.empty()) {
            opt.output = arg;
        } else {
            return false;
        }
    }
    return !opt.output.empty();
}

qv::sim::BiosInventory loadInventory(const std::string& scenarioPath)
{
    if (scenarioPath.empty()) return {};
    std::ifstream in(scenarioPath);
    if (!in) throw std::runtime_error("cannot open " + scenarioPath);
    const auto scenario = nlohmann::json::parse(in);
    if (!scenario.is_object() || !scenario.contains("bios")) return {};
    return qv::sim::parseBiosInventory(scenario["bios"]);
}

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    if (!parseOptions(argc, argv, opt)) return usage();
    try {
        auto inventory = loadInventory(opt.scenario);
        if (opt.model) inventory.modelCode = opt.model;
        const auto image = qv::sim::renderBiosImage(inventory, opt.format.value_or(inventory.format));
        if (!qv::sim::writeBiosImage(opt.output, image)) {
            std::cerr << "qvsim-bios: cannot write " << opt.output << "\n";
            return 1;
        }
        const auto nvram = qv::sim::renderNvramImage(inventory);
        if (!opt.nvram.empty() && nvram && !qv::sim::writeBiosImage(opt.nvram, *nvram)) {
            std::cerr << "qvsim-bios: cannot write " << opt.nvram << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "qvsim-bios: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
