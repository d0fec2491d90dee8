#pragma once

// What the demo's sample firmware image carries, shared by the program that
// writes it and the demo that uploads it.

#include <cstddef>
#include <vector>

namespace demo {

// The version the demo camera runs before an upgrade, and the one it reports
// after it has taken an image.
constexpr char kFirmwareVersionBefore[] = "V2.1.0";
constexpr char kFirmwareVersionAfter[] = "V2.2.0";

// A few hundred KiB, and not a whole number of 510-byte data reports, so the
// last report of an upload is a short one.
constexpr std::size_t kSampleImageSize = 384 * 1024;

// A deterministic image of `size` bytes: a readable header naming the demo
// and the version it installs, then pseudo-random bytes (many of them above
// 0x7F, which a signed byte sum would get wrong). With `blankHeader` the first
// 64 bytes are zero, which the tool refuses as an invalid image.
std::vector<unsigned char> sampleImage(std::size_t size, bool blankHeader = false);

} // namespace demo
