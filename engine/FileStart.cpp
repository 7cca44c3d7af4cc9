// The first box of a file: its size and type (ISO/IEC 14496-12, QuickTime
// File Format), and the major brand when it is a file type box.
#include "FileStart.h"

#include "Boxes.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// The unsigned number in `count` bytes of `bytes` from `at`, most significant first.
std::uint64_t numberAt(std::string_view bytes, std::size_t at, int count)
{
    return bigEndian(reinterpret_cast<const unsigned char*>(bytes.data() + at), count);
}

// File type, movie, media data, padding and preview boxes: what MOV, MP4,
// M4V and 3GP files begin with, older QuickTime files without a file type
// box included, and the segments of a fragmented movie.
constexpr std::array<std::string_view, 16> firstBoxTypes { "ftyp", "moov", "mdat", "free", "skip",
    "wide", "pnot", "junk", "pict", "uuid", "udta", "prfl", "ediw", "styp", "sidx", "moof" };

// Major brands of still pictures kept in the same boxes: HEIF and AVIF
// images, JPEG 2000, Canon's raw photos. (Their animated sequences have
// tracks as movies do and are left to the reader.)
constexpr std::array<std::string_view, 8> pictureBrands { "mif1", "heic", "heix", "heim", "heis",
    "avif", "jp2 ", "crx " };

bool isOneOf(std::string_view text, const auto& values)
{
    return std::find(values.begin(), values.end(), text) != values.end();
}

} // namespace

FileStart readFileStart(std::string_view firstBytes)
{
    if (firstBytes.size() < 8)
        return FileStart::tooShort;
    const std::uint64_t size = numberAt(firstBytes, 0, 4);
    const std::string_view type = firstBytes.substr(4, 4);
    std::size_t headerSize = 8;
    if (size == 1) { // a 64-bit size follows the type
        if (firstBytes.size() < 16)
            return FileStart::tooShort;
        headerSize = 16;
        if (numberAt(firstBytes, 8, 8) < headerSize)
            return FileStart::other;
    } else if (size != 0 && size < headerSize) { // 0: the box runs to the end of the file
        return FileStart::other;
    }
    if (!isOneOf(type, firstBoxTypes))
        return FileStart::other;
    if (type == "ftyp" && firstBytes.size() >= headerSize + 4
        && isOneOf(firstBytes.substr(headerSize, 4), pictureBrands))
        return FileStart::other;
    return FileStart::quickTime;
}
