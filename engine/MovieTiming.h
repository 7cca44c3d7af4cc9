// The timing boxes of a QuickTime movie or an MP4: the movie's time scale and
// duration, and each track's duration, edit list, media time scale and last
// sample's duration, every number with its place in the file, so that a
// copy's can be set to its source's in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A number in a box, and where it stands in the file.
struct BoxNumber
{
    std::uint64_t value = 0;
    std::uint64_t offset = 0;
    int width = 0; // bytes: 4, or 8 in a version 1 box

    bool operator==(const BoxNumber&) const = default;
};

struct MovieTiming
{
    // One entry of a track's edit list: which stretch of the media is shown
    // next, and for how long.
    struct Edit
    {
        BoxNumber duration; // in the movie's time scale
        std::int64_t mediaTime = 0; // in the media's time scale; -1: nothing is shown
        std::int32_t rate = 0x10000; // 16.16 fixed point

        bool operator==(const Edit&) const = default;
    };

    struct Track
    {
        std::uint32_t id = 0;
        std::string handler; // "vide", "soun", "tmcd"…; empty when there is none
        BoxNumber duration; // the track header's, in the movie's time scale
        std::uint32_t mediaTimescale = 0; // 0 when there is no media header
        // The last sample's duration in the media's time scale, as the sample
        // table gives it; 0 where it has none (a fragmented movie).
        std::uint32_t lastSampleDuration = 0;
        // None where the track has no edit list, or one longer than maxEdits.
        std::optional<std::vector<Edit>> edits;

        bool operator==(const Track&) const = default;
    };

    std::uint32_t timescale = 0; // of the movie
    BoxNumber duration; // the movie header's
    std::vector<Track> tracks; // those with a track header, in the file's order

    // Bounds on what a stranger's file can make the reader do.
    static constexpr std::uint32_t maxEdits = 64;
    static constexpr std::size_t maxTracks = 256;
    static constexpr int maxBoxes = 10000;

    // The first movie box's timing, or nothing when it has no header, a box
    // does not fit in its parent, or there are more tracks or boxes than the
    // bounds above. Reads box headers, and of the boxes named here only what
    // is described: a few hundred bytes, however large the file.
    static std::optional<MovieTiming> read(int fd);

    // The first track with this ID, or nullptr.
    const Track* track(std::uint32_t id) const;
};
