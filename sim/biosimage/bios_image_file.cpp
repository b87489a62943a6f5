#include <filesystem>
#include <string_view>

#include "atomic_file.h"
#include "bios_image.h"

namespace qv::sim {

// Readers that map the file while it is rewritten see the old image or the new one.
bool writeBiosImage(const std::string& path, const std::vector<uint8_t>& image)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::error_code ec;
    fs::create_directories(target.has_parent_path() ? target.parent_path() : fs::path("."), ec);
    if (ec) return false;
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    return qv::replaceFileContents(path, bytes, 0644) == 0;
}

} // namespace qv::sim
