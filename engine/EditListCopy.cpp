// Edit durations taken from the movie, and the header durations that must
// agree with them.
#include "EditListCopy.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <unistd.h>

namespace {

constexpr std::int32_t normalRate = 0x10000;

bool fits(const BoxNumber& number)
{
    return number.width == 8 || number.value <= std::numeric_limits<std::uint32_t>::max();
}

// Whether each entry of `mine` shows nothing exactly where the same entry of
// `theirs` does, and every one of theirs plays at the normal rate.
bool sameShape(
    const std::vector<MovieTiming::Edit>& mine, const std::vector<MovieTiming::Edit>& theirs)
{
    return mine.size() == theirs.size()
        && std::equal(mine.begin(), mine.end(), theirs.begin(),
            [](const MovieTiming::Edit& my, const MovieTiming::Edit& their) {
                return (my.mediaTime < 0) == (their.mediaTime < 0) && their.rate == normalRate;
            });
}

} // namespace

std::vector<BoxNumber> editListChanges(
    const MovieTiming& written, std::uint32_t sourceTimescale, const MovieTiming::Track& source)
{
    const auto video = std::find_if(written.tracks.begin(), written.tracks.end(),
        [](const MovieTiming::Track& track) { return track.handler == "vide"; });
    if (video == written.tracks.end() || written.timescale != sourceTimescale || !video->edits
        || !source.edits || !sameShape(*video->edits, *source.edits))
        return {};

    std::vector<BoxNumber> changes;
    bool fitting = true;
    const auto set = [&](BoxNumber number, std::uint64_t value) {
        const bool changed = number.value != value;
        number.value = value;
        fitting = fitting && fits(number);
        if (changed)
            changes.push_back(number);
    };
    std::uint64_t shown = 0;
    for (std::size_t i = 0; i < source.edits->size(); ++i) {
        const MovieTiming::Edit& mine = (*video->edits)[i];
        // A stretch of media is never made longer than ffmpeg wrote it: of a
        // movie cut short, ffmpeg writes the samples that are there, and the
        // verification must see no more.
        const std::uint64_t theirs = (*source.edits)[i].duration.value;
        const std::uint64_t duration
            = mine.mediaTime < 0 ? theirs : std::min(theirs, mine.duration.value);
        if (duration > std::numeric_limits<std::uint64_t>::max() - shown)
            return {};
        shown += duration;
        set(mine.duration, duration);
    }
    if (changes.empty())
        return {};
    std::uint64_t longest = 0;
    for (const MovieTiming::Track& track : written.tracks) {
        std::uint64_t duration = track.duration.value;
        // ffmpeg makes a timecode track from the video's timecode, as long
        // as the video's samples.
        const bool timecode = track.handler == "tmcd" && track.edits && track.edits->size() == 1
            && track.edits->front().mediaTime >= 0;
        if (&track == &*video || timecode) {
            duration = shown;
            set(track.duration, shown);
        }
        if (timecode)
            set(track.edits->front().duration, shown);
        longest = std::max(longest, duration);
    }
    set(written.duration, longest);
    return fitting ? changes : std::vector<BoxNumber>();
}

bool writeNumbers(int fd, const std::vector<BoxNumber>& numbers)
{
    for (const BoxNumber& number : numbers) {
        std::array<unsigned char, 8> bytes {};
        const auto width = static_cast<std::size_t>(number.width);
        for (std::size_t i = 0; i < width; ++i)
            bytes[i] = static_cast<unsigned char>(number.value >> (8 * (width - 1 - i)));
        std::size_t done = 0;
        while (done < width) {
            const ssize_t wrote = ::pwrite(
                fd, bytes.data() + done, width - done, static_cast<off_t>(number.offset + done));
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0) {
                if (wrote == 0)
                    errno = EIO;
                return false;
            }
            done += static_cast<std::size_t>(wrote);
        }
    }
    return true;
}
