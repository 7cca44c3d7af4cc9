// The shape of an MP4 as the verification reads it: the top-level boxes, the
// movie box, its header and its tracks.
#include "WrittenMovie.h"

#include "Boxes.h"

#include <sys/stat.h>

namespace {

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
        if (box->type() != "moov" || movie)
            continue;

        std::optional<double> duration;
        int tracks = 0;
        for (std::uint64_t inner = box->contentStart; inner < box->end;) {
            const std::optional<Box> child = readBox(fd, inner, box->end);
            if (!child)
                return std::nullopt;
            inner = child->end;
            if (child->type() == "mvhd")
                duration = movieHeaderDuration(fd, *child);
            else if (child->type() == "trak")
                ++tracks;
        }
        if (!duration || tracks == 0)
            return std::nullopt;
        movie = WrittenMovie { *duration };
    }
    return movie;
}
