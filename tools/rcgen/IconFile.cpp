// The classic .ico layout: a 6-byte directory header, one 16-byte entry per picture, and each
// picture as a bitmap header, its palette, the colour rows and the AND mask rows, every row
// padded to four bytes. All fields are little-endian.
#include "IconFile.h"

#include <string>

namespace rcgen {

namespace {

constexpr std::size_t DirectorySize = 6;
constexpr std::size_t EntrySize = 16;
constexpr std::size_t BitmapHeaderSize = 40;
constexpr int BitCount = 4;
constexpr int Colours = 16;

unsigned Word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8);
}

std::uint32_t Dword(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return Word(bytes, at) | (static_cast<std::uint32_t>(Word(bytes, at + 2)) << 16);
}

std::size_t RowBytes(int width, int bits) { return static_cast<std::size_t>((width * bits + 31) / 32) * 4; }

bool Fail(std::string& error, std::size_t picture, const std::string& message) {
    error = "picture " + std::to_string(picture + 1) + ": " + message;
    return false;
}

// Checks one picture against its directory entry (at `entry`).
bool ParsePicture(const std::vector<std::uint8_t>& bytes, std::size_t index, IconPicture& picture, std::string& error) {
    const std::size_t entry = DirectorySize + index * EntrySize;
    const int width = bytes[entry] == 0 ? 256 : bytes[entry];
    const int height = bytes[entry + 1] == 0 ? 256 : bytes[entry + 1];
    if (bytes[entry + 2] != Colours || Word(bytes, entry + 4) != 1 || Word(bytes, entry + 6) != BitCount) {
        return Fail(error, index, "the directory entry does not describe 16 colours in one plane of 4 bits");
    }
    const std::uint32_t size = Dword(bytes, entry + 8);
    const std::uint32_t offset = Dword(bytes, entry + 12);
    if (offset > bytes.size() || size > bytes.size() - offset) return Fail(error, index, "lies outside the file");
    const std::size_t expected = BitmapHeaderSize + Colours * 4 + RowBytes(width, BitCount) * height + RowBytes(width, 1) * height;
    if (size != expected) {
        return Fail(error, index, "holds " + std::to_string(size) + " bytes, a " + std::to_string(width) + "x" +
                                      std::to_string(height) + " picture of 16 colours with its mask takes " +
                                      std::to_string(expected));
    }
    const bool headerFits = Dword(bytes, offset) == BitmapHeaderSize;
    const bool sameSize = static_cast<int>(Dword(bytes, offset + 4)) == width &&
                          static_cast<int>(Dword(bytes, offset + 8)) == 2 * height;   // colours and mask
    const bool fourBits = Word(bytes, offset + 12) == 1 && static_cast<int>(Word(bytes, offset + 14)) == BitCount;
    const bool plain = Dword(bytes, offset + 16) == 0;   // BI_RGB
    const std::uint32_t used = Dword(bytes, offset + 32);
    if (!headerFits || !sameSize || !fourBits || !plain || (used != 0 && used != Colours)) {
        return Fail(error, index, "its bitmap header does not match its directory entry");
    }
    picture.width = width;
    picture.height = height;
    picture.bitCount = BitCount;
    picture.image.assign(bytes.begin() + offset, bytes.begin() + offset + size);
    return true;
}

}  // namespace

bool ParseIcon(const std::vector<std::uint8_t>& bytes, std::vector<IconPicture>& pictures, std::string& error) {
    pictures.clear();
    if (bytes.size() < DirectorySize || Word(bytes, 0) != 0 || Word(bytes, 2) != 1) {
        error = "not an icon file";
        return false;
    }
    const std::size_t count = Word(bytes, 4);
    if (count == 0) {
        error = "the icon holds no picture";
        return false;
    }
    if (bytes.size() < DirectorySize + count * EntrySize) {
        error = "the icon directory is cut short";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        IconPicture picture;
        if (!ParsePicture(bytes, i, picture, error)) return false;
        pictures.push_back(std::move(picture));
    }
    return true;
}

}  // namespace rcgen
