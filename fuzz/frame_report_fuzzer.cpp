// ffprobe's report of the first frame, read for an HDR transfer: any bytes
// give an answer or the JSON parser's error.
#include "MovieInfo.h"

#include <cstdint>
#include <nlohmann/json.hpp>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        MovieInfo::framesAreHdr(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const nlohmann::json::exception&) {
    }
    return 0;
}
