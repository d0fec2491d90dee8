// Writes the demo's sample firmware image.
//
// Usage: make-demo-firmware OUTPUT [SIZE_IN_BYTES] [--blank-header]

#include "DemoFirmware.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char *argv[])
{
    const char *output = nullptr;
    std::size_t size = demo::kSampleImageSize;
    bool blankHeader = false;
    bool sizeGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--blank-header") == 0) {
            blankHeader = true;
        } else if (!output) {
            output = argv[i];
        } else if (!sizeGiven) {
            char *end = nullptr;
            const unsigned long long value = std::strtoull(argv[i], &end, 10);
            if (!end || *end != '\0' || value == 0) {
                std::fprintf(stderr, "make-demo-firmware: '%s' is not a size in bytes\n", argv[i]);
                return 2;
            }
            size = static_cast<std::size_t>(value);
            sizeGiven = true;
        } else {
            output = nullptr;
            break;
        }
    }
    if (!output) {
        std::fprintf(stderr, "usage: make-demo-firmware OUTPUT [SIZE_IN_BYTES] [--blank-header]\n");
        return 2;
    }

    const std::vector<unsigned char> image = demo::sampleImage(size, blankHeader);
    // Written under a temporary name first, so an interrupted build never
    // leaves a short image that looks finished.
    const std::string partial = std::string(output) + ".part";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(image.data()), std::streamsize(image.size()));
        if (!file) {
            std::fprintf(stderr, "make-demo-firmware: cannot write %s\n", partial.c_str());
            return 1;
        }
    }
    if (std::rename(partial.c_str(), output) != 0) {
        std::fprintf(stderr, "make-demo-firmware: cannot rename %s to %s\n", partial.c_str(), output);
        return 1;
    }
    return 0;
}
