// A sandbox root holding a BIOS memory image as /dev/mem, and reader objects opened on it.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "dmi_bios.h"
#include "dmi_driver.h"
#include "temp_root.h"

namespace qv::test {

inline std::vector<uint8_t> blankBiosImage() { return std::vector<uint8_t>(0x100000, 0); }

inline void putBytes(std::vector<uint8_t>& image, uint32_t address, const std::string& bytes)
{
    std::copy(bytes.begin(), bytes.end(), image.begin() + address);
}

inline void writeBinary(const std::string& path, const std::vector<uint8_t>& bytes)
{
    makeDirectories(path.substr(0, path.rfind('/')));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct OpenBios {
    CQVDMIDriver driver;
    CQVDMIBIOS bios{&driver};
    OpenBios()
    {
        driver.LoadDriver();
        bios.InitializeDMIBIOS();
        driver.InitDriver();
    }
    ~OpenBios() { driver.CloseDriver(); }
};

class BiosImageTest {
protected:
    void writeImage(const std::vector<uint8_t>& image) { writeBinary(root.at("/dev/mem"), image); }
    TempRoot root;
};

} // namespace qv::test
