// The boxes of an MP4 as the verification reads them back from a file: any
// bytes give a movie or nothing, without reading outside the file.
#include "WrittenMovie.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

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
    return 0;
}
