#include "bios_image.h"

#include "fuzz_root.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace qv::fuzz {

BiosImage::BiosImage() : window_(kWindowSize, 0)
{
    const std::vector<uint8_t> blank(kImageSize, 0);
    writeRootFile("/dev/mem", blank.data(), blank.size());
    fd_ = open((privateRoot() + "/dev/mem").c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) std::abort();
}

void BiosImage::build(const uint8_t* data, size_t size)
{
    std::fill(window_.begin(), window_.end(), 0);
    InputCursor in(data, size);
    while (in.remaining() > 5) {
        const uint32_t offset = (in.u8() | in.u8() << 8 | in.u8() << 16) % kWindowSize;
        const size_t wanted = in.u16();
        const auto bytes = in.take(std::min<size_t>(wanted, kWindowSize - offset));
        std::copy(bytes.begin(), bytes.end(), window_.begin() + offset);
    }
}

void BiosImage::write()
{
    if (pwrite(fd_, window_.data(), window_.size(), kWindowBase) != ssize_t(window_.size()))
        std::abort();
}

} // namespace qv::fuzz
