// A file's first bytes as inspect() reads them before ffprobe runs: any bytes
// give one of the three answers, decided by the first fileStartLength bytes
// alone (no more are read), and only a file that holds a box header is taken
// for a QuickTime movie.
#include "FileStart.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const FileStart start = readFileStart(bytes);
    if (start != readFileStart(bytes.substr(0, fileStartLength)))
        std::abort();
    if ((start == FileStart::tooShort && size >= fileStartLength)
        || (start == FileStart::quickTime && size < 8))
        std::abort();
    return 0;
}
