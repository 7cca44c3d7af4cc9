// Reading the movie header, and of each track the track header, the edit
// list, the media header and handler, and the last entry of the sample table's
// time-to-sample box. Versions other than 1 are read as version 0, as ffmpeg
// reads them.
#include "MovieTiming.h"

#include "Boxes.h"

#include <algorithm>
#include <array>
#include <sys/stat.h>

namespace {

class TimingReader
{
public:
    explicit TimingReader(int fd)
        : m_fd(fd)
    {
    }

    // Calls visit(box) for each box from `from` to `end` while it returns
    // true; false when a box does not fit there, the budget of boxes is spent,
    // or visit returned false.
    template<typename Visit>
    bool forEachBox(std::uint64_t from, std::uint64_t end, const Visit& visit)
    {
        for (std::uint64_t offset = from; offset < end;) {
            if (++m_boxes > MovieTiming::maxBoxes)
                return false;
            const std::optional<Box> box = readBox(m_fd, offset, end);
            if (!box || !visit(*box))
                return false;
            offset = box->end;
        }
        return true;
    }

    std::optional<MovieTiming> movie(const Box& moov)
    {
        MovieTiming movie;
        bool hasHeader = false;
        const bool whole = forEachBox(moov.contentStart, moov.end, [&](const Box& box) {
            if (box.type() == "mvhd" && !hasHeader) {
                const std::optional<BoxNumber> timescale = headerField(box, 12, false);
                const std::optional<BoxNumber> duration = headerField(box, 16, true);
                hasHeader = timescale && duration;
                if (hasHeader) {
                    movie.timescale = static_cast<std::uint32_t>(timescale->value);
                    movie.duration = *duration;
                }
            } else if (box.type() == "trak") {
                return track(box, movie);
            }
            return true;
        });
        if (!whole || !hasHeader)
            return std::nullopt;
        return movie;
    }

private:
    // Whether a full box is version 1, with 64-bit times and durations.
    std::optional<bool> isWide(const Box& box) const
    {
        const std::optional<BoxNumber> version = number(box, 0, 1);
        return version ? std::optional<bool>(version->value == 1) : std::nullopt;
    }

    // A field of a header that starts with its version and two times: `at`
    // bytes into its content in version 0, 8 more in version 1, where a
    // duration is 8 bytes wide.
    std::optional<BoxNumber> headerField(const Box& box, std::uint64_t at, bool isDuration) const
    {
        const std::optional<bool> wide = isWide(box);
        if (!wide)
            return std::nullopt;
        return number(box, *wide ? at + 8 : at, isDuration && *wide ? 8 : 4);
    }

    // The `width`-byte number `at` bytes into the box's content.
    std::optional<BoxNumber> number(const Box& box, std::uint64_t at, int width) const
    {
        std::array<unsigned char, 8> bytes {};
        const auto size = static_cast<std::uint64_t>(width);
        if (box.contentSize() < at || box.contentSize() - at < size
            || !readExactly(m_fd, bytes.data(), size, box.contentStart + at))
            return std::nullopt;
        return BoxNumber { bigEndian(bytes.data(), width), box.contentStart + at, width };
    }

    bool track(const Box& trak, MovieTiming& movie)
    {
        MovieTiming::Track track;
        bool hasHeader = false, hasEdits = false, hasMedia = false;
        const bool whole = forEachBox(trak.contentStart, trak.end, [&](const Box& box) {
            if (box.type() == "tkhd" && !hasHeader) {
                const std::optional<BoxNumber> id = headerField(box, 12, false);
                const std::optional<BoxNumber> duration = headerField(box, 20, true);
                hasHeader = id && duration;
                if (hasHeader) {
                    track.id = static_cast<std::uint32_t>(id->value);
                    track.duration = *duration;
                }
            } else if (box.type() == "edts" && !hasEdits) {
                hasEdits = true;
                return forEachBox(box.contentStart, box.end, [&](const Box& list) {
                    if (list.type() == "elst" && !track.edits)
                        track.edits = edits(list);
                    return true;
                });
            } else if (box.type() == "mdia" && !hasMedia) {
                hasMedia = true;
                return media(box, track);
            }
            return true;
        });
        if (!whole)
            return false;
        if (hasHeader) {
            if (movie.tracks.size() == MovieTiming::maxTracks)
                return false;
            movie.tracks.push_back(std::move(track));
        }
        return true;
    }

    std::optional<std::vector<MovieTiming::Edit>> edits(const Box& elst) const
    {
        const std::optional<bool> wide = isWide(elst);
        const std::optional<BoxNumber> count = number(elst, 4, 4);
        if (!wide || !count || count->value > MovieTiming::maxEdits)
            return std::nullopt;
        const std::uint64_t entrySize = *wide ? 20 : 12;
        if ((elst.contentSize() - 8) / entrySize < count->value)
            return std::nullopt;
        std::array<unsigned char, MovieTiming::maxEdits * 20> bytes {};
        if (!readExactly(m_fd, bytes.data(), count->value * entrySize, elst.contentStart + 8))
            return std::nullopt;
        std::vector<MovieTiming::Edit> edits(count->value);
        const int width = *wide ? 8 : 4;
        for (std::uint64_t i = 0; i < count->value; ++i) {
            const unsigned char* entry = bytes.data() + i * entrySize;
            edits[i].duration
                = { bigEndian(entry, width), elst.contentStart + 8 + i * entrySize, width };
            // Signed numbers, in two's complement (C++20 converts them so).
            const std::uint64_t mediaTime = bigEndian(entry + width, width);
            edits[i].mediaTime = *wide ? static_cast<std::int64_t>(mediaTime)
                                       : static_cast<std::int32_t>(mediaTime);
            edits[i].rate = static_cast<std::int32_t>(bigEndian(entry + 2 * width, 4));
        }
        return edits;
    }

    bool media(const Box& mdia, MovieTiming::Track& track)
    {
        bool hasHeader = false, hasHandler = false, hasInformation = false;
        return forEachBox(mdia.contentStart, mdia.end, [&](const Box& box) {
            if (box.type() == "mdhd" && !hasHeader) {
                hasHeader = true;
                if (const std::optional<BoxNumber> timescale = headerField(box, 12, false))
                    track.mediaTimescale = static_cast<std::uint32_t>(timescale->value);
            } else if (box.type() == "hdlr" && !hasHandler) {
                hasHandler = true;
                if (const std::optional<BoxNumber> handler = number(box, 8, 4)) {
                    for (int shift = 24; shift >= 0; shift -= 8)
                        track.handler.push_back(static_cast<char>(handler->value >> shift & 0xFF));
                }
            } else if (box.type() == "minf" && !hasInformation) {
                hasInformation = true;
                return forEachBox(box.contentStart, box.end, [&](const Box& table) {
                    if (table.type() != "stbl")
                        return true;
                    return forEachBox(table.contentStart, table.end, [&](const Box& times) {
                        if (times.type() == "stts" && track.lastSampleDuration == 0)
                            track.lastSampleDuration = lastSampleDuration(times);
                        return true;
                    });
                });
            }
            return true;
        });
    }

    // The duration the time-to-sample table's last entry gives, or 0 when
    // it has no entries or their count does not fit in the box.
    std::uint32_t lastSampleDuration(const Box& stts) const
    {
        const std::optional<BoxNumber> count = number(stts, 4, 4);
        if (!count || count->value == 0 || (stts.contentSize() - 8) / 8 < count->value)
            return 0;
        const std::uint64_t last = 8 + 8 * (count->value - 1);
        const std::optional<BoxNumber> samples = number(stts, last, 4);
        const std::optional<BoxNumber> duration = number(stts, last + 4, 4);
        return samples && samples->value > 0 && duration
            ? static_cast<std::uint32_t>(duration->value)
            : 0;
    }

    int m_fd;
    int m_boxes = 0;
};

} // namespace

std::optional<MovieTiming> MovieTiming::read(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size <= 0)
        return std::nullopt;
    TimingReader reader(fd);
    std::optional<MovieTiming> movie;
    reader.forEachBox(0, static_cast<std::uint64_t>(info.st_size), [&](const Box& box) {
        if (box.type() != "moov")
            return true;
        movie = reader.movie(box);
        return false; // only the first counts, as for ffmpeg
    });
    return movie;
}

const MovieTiming::Track* MovieTiming::track(std::uint32_t id) const
{
    const auto found = std::find_if(
        tracks.begin(), tracks.end(), [id](const Track& track) { return track.id == id; });
    return found == tracks.end() ? nullptr : &*found;
}
