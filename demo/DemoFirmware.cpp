#include "DemoFirmware.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace demo {

namespace {
constexpr std::size_t kHeaderSize = 64;
constexpr std::uint32_t kSeed = 0x2207'2008u;
} // namespace

std::vector<unsigned char> sampleImage(std::size_t size, bool blankHeader)
{
    std::vector<unsigned char> image(size);

    // xorshift32: the same bytes on every machine and every build.
    std::uint32_t state = kSeed;
    for (unsigned char &byte : image) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<unsigned char>(state >> 24);
    }

    const std::size_t header = std::min(kHeaderSize, size);
    std::fill_n(image.begin(), header, 0);
    if (!blankHeader) {
        const std::string text = std::string("DEMO FIRMWARE ") + kFirmwareVersionAfter
                                 + " for the virtual camera";
        std::memcpy(image.data(), text.data(), std::min(text.size(), header));
    }
    return image;
}

} // namespace demo
