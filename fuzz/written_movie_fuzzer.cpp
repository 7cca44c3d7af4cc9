// The boxes of a movie as the engine reads them from a file: the shape the
// verification checks, and the timing of a movie (a stranger's before the
// copy, ffmpeg's after it) with the edit list set in place. Any bytes give a
// result or nothing, without reading or writing outside the file.
#include "EditListCopy.h"
#include "MovieTiming.h"
#include "WrittenMovie.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool inside(const BoxNumber& number, std::uint64_t size)
{
    return (number.width == 4 || number.width == 8) && number.offset <= size
        && size - number.offset >= static_cast<std::uint64_t>(number.width);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One file in memory for the whole run, rewritten for every input.
    static const int file = ::memfd_create("written-movie", MFD_CLOEXEC);
    if (file < 0 || ::ftruncate(file, 0) != 0
        || ::pwrite(file, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const std::optional<WrittenMovie> movie = WrittenMovie::read(file);
    if (movie && !(movie->duration >= 0))
        std::abort();

    const std::optional<MovieTiming> timing = MovieTiming::read(file);
    if (!timing)
        return 0;
    if (timing->tracks.size() > MovieTiming::maxTracks || !inside(timing->duration, size))
        std::abort();
    for (const MovieTiming::Track& track : timing->tracks) {
        if (!inside(track.duration, size)
            || (track.edits && track.edits->size() > MovieTiming::maxEdits))
            std::abort();
    }
    // The file's own first track, its edits a third shorter, as the movie
    // the file is taken to be a copy of.
    if (timing->tracks.empty())
        return 0;
    MovieTiming::Track source = timing->tracks.front();
    if (source.edits) {
        for (MovieTiming::Edit& edit : *source.edits)
            edit.duration.value -= edit.duration.value / 3;
    }
    const std::vector<BoxNumber> changes = editListChanges(*timing, timing->timescale, source);
    for (const BoxNumber& change : changes) {
        if (!inside(change, size) || (change.width == 4 && change.value > UINT32_MAX))
            std::abort();
    }
    struct stat written;
    if (!writeNumbers(file, changes) || ::fstat(file, &written) != 0
        || static_cast<std::size_t>(written.st_size) != size)
        std::abort();
    return 0;
}
