// A reader of ISO base media boxes (ISO/IEC 14496-12), as far as checking the
// shape of an MP4 needs: sizes, the movie box, its header and its tracks.
#include "WrittenMovie.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Box
{
    std::uint64_t start = 0; // of the header
    std::uint64_t contentStart = 0;
    std::uint64_t end = 0;
    std::array<char, 4> typeBytes {};
};

std::uint64_t bigEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

bool readExactly(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// The box starting at `offset` inside a parent ending at `limit`, or nothing
// when its header does not fit or it reaches past the parent.
std::optional<Box> readBox(int fd, std::uint64_t offset, std::uint64_t limit)
{
    unsigned char header[16];
    if (limit - offset < 8 || !readExactly(fd, header, 8, offset))
        return std::nullopt;
    Box box;
    box.start = offset;
    std::uint64_t size = bigEndian(header, 4);
    box.contentStart = offset + 8;
    if (size == 1) { // a 64-bit size follows the type
        if (limit - offset < 16 || !readExactly(fd, header + 8, 8, offset + 8))
            return std::nullopt;
        size = bigEndian(header + 8, 8);
        box.contentStart = offset + 16;
    } else if (size == 0) { // reaches to the end of its parent
        size = limit - offset;
    }
    if (size < box.contentStart - offset || size > limit - offset)
        return std::nullopt;
    box.end = offset + size;
    std::copy(header + 4, header + 8, box.typeBytes.begin());
    return box;
}

std::string_view typeOf(const Box& box)
{
    return std::string_view(box.typeBytes.data(), box.typeBytes.size());
}

// The duration in the movie header box, or nothing when it cannot be read.
std::optional<double> movieHeaderDuration(int fd, const Box& header)
{
    unsigned char fields[32];
    const std::uint64_t length = header.end - header.contentStart;
    if (length < 4 || !readExactly(fd, fields, 1, header.contentStart))
        return std::nullopt;
    const bool wide = fields[0] == 1; // version 1: 64-bit times
    const std::size_t needed = wide ? 32 : 20;
    if (length < needed || !readExactly(fd, fields, needed, header.contentStart))
        return std::nullopt;
    const std::uint64_t timescale = bigEndian(fields + (wide ? 20 : 12), 4);
    const std::uint64_t duration = bigEndian(fields + (wide ? 24 : 16), wide ? 8 : 4);
    if (timescale == 0)
        return std::nullopt;
    return static_cast<double>(duration) / static_cast<double>(timescale);
}

} // namespace

std::optional<WrittenMovie> WrittenMovie::read(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size <= 0)
        return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);

    std::optional<WrittenMovie> movie;
    for (std::uint64_t offset = 0; offset < fileSize;) {
        const std::optional<Box> box = readBox(fd, offset, fileSize);
        if (!box)
            return std::nullopt;
        offset = box->end;
        if (typeOf(*box) != "moov" || movie)
            continue;

        std::optional<double> duration;
        int tracks = 0;
        for (std::uint64_t inner = box->contentStart; inner < box->end;) {
            const std::optional<Box> child = readBox(fd, inner, box->end);
            if (!child)
                return std::nullopt;
            inner = child->end;
            if (typeOf(*child) == "mvhd")
                duration = movieHeaderDuration(fd, *child);
            else if (typeOf(*child) == "trak")
                ++tracks;
        }
        if (!duration || tracks == 0)
            return std::nullopt;
        movie = WrittenMovie { *duration };
    }
    return movie;
}
