// ffmpeg's progress stream as the conversion reads it, once whole and once in
// the pieces a pipe might deliver: the same reports either way, none past 0.99.
#include "ProgressLines.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

struct Reading
{
    std::vector<double> fractions;
    double reached = 0;
};

// `stream` read in pieces of 1 to `largest` bytes, drawn from `seed`;
// `largest` 0 reads it in one piece.
Reading readInPieces(std::string_view stream, double duration, std::size_t largest, unsigned seed)
{
    Reading reading;
    ProgressLines lines(duration);
    const auto report = [&](double fraction) {
        if (!(fraction <= 0.99)) // NaN too
            std::abort();
        reading.fractions.push_back(fraction);
    };
    std::minstd_rand pieces(seed);
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t length = largest == 0 ? stream.size() : 1 + pieces() % largest;
        lines.read(stream.substr(at, length), report);
        at += length;
    }
    reading.reached = lines.reached();
    return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    // Unknown, and the length of the test suite's movies.
    for (const double duration : { 0.0, 2.0 }) {
        const Reading whole = readInPieces(stream, duration, 0, 0);
        const Reading split = readInPieces(stream, duration, 64, static_cast<unsigned>(size));
        // A time past any end would pass a result cut short as whole.
        if (!(whole.reached >= 0) || !std::isfinite(whole.reached) || split.reached != whole.reached
            || split.fractions != whole.fractions)
            std::abort();
        if (duration == 0 && !whole.fractions.empty())
            std::abort();
    }
    return 0;
}
