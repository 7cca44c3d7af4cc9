// ffprobe's stream and format report as inspect() reads it: any bytes give a
// MovieInfo, the "no video track" failure or the JSON parser's error.
#include "ConversionFailure.h"
#include "MovieInfo.h"

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const MovieInfo info
            = MovieInfo::fromReport(std::string_view(reinterpret_cast<const char*>(data), size));
        // ffmpeg is given each track as "0:a:<position>": a position among the
        // movie's audio streams, each at most once, in the movie's order.
        int previous = -1;
        for (const MovieInfo::AudioTrack& track : info.audio) {
            if (track.position <= previous || track.position >= info.audioStreams)
                std::abort();
            previous = track.position;
        }
    } catch (const ConversionFailure&) {
    } catch (const nlohmann::json::exception&) {
    }
    return 0;
}
