// Checks that a .ico file is a classic icon group of 16-colour pictures, as the programs' own
// icons are, and lists its pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rcgen {

struct IconPicture {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::vector<std::uint8_t> image;   // the picture's bytes: header, palette, colours, mask
};

// True when the bytes are an icon directory with at least one picture, each an uncompressed
// 4-bit device-independent bitmap with its AND mask whose size agrees with its directory entry;
// otherwise false with the reason.
bool ParseIcon(const std::vector<std::uint8_t>& bytes, std::vector<IconPicture>& pictures, std::string& error);

}  // namespace rcgen
