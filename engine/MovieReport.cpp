// Reading ffprobe's JSON report: which stream is the video, and what it says.
#include "ConversionFailure.h"
#include "MovieInfo.h"
#include "NumberReading.h"

#include <nlohmann/json.hpp>

namespace {

// A member of another JSON type than a string counts as absent.
const std::string* stringMember(const nlohmann::json& object, const char* name)
{
    const auto member = object.find(name);
    if (member == object.end() || !member->is_string())
        return nullptr;
    return member->get_ptr<const std::string*>();
}

} // namespace

MovieInfo MovieInfo::fromReport(std::string_view report)
{
    const nlohmann::json root = nlohmann::json::parse(report);

    if (!root.is_object())
        throw ConversionFailure(ConversionFailure::noVideoTrack);
    const auto streams = root.find("streams");
    if (streams == root.end() || !streams->is_array())
        throw ConversionFailure(ConversionFailure::noVideoTrack);
    const nlohmann::json* video = nullptr;
    for (const nlohmann::json& stream : *streams) {
        if (!stream.is_object())
            throw ConversionFailure(ConversionFailure::noVideoTrack);
        const std::string* type = stringMember(stream, "codec_type");
        if (!video && type && *type == "video")
            video = &stream;
    }
    if (!video)
        throw ConversionFailure(ConversionFailure::noVideoTrack);

    MovieInfo info;
    const auto format = root.find("format");
    if (format != root.end() && format->is_object()) {
        if (const std::string* duration = stringMember(*format, "duration"))
            info.duration = readNumber(*duration).value_or(0);
    }

    const std::string* codec = stringMember(*video, "codec_name");
    if (codec && *codec == "h264") {
        const std::string* pixelFormat = stringMember(*video, "pix_fmt");
        info.copyVideo = pixelFormat && *pixelFormat == "yuv420p";
    }

    const std::string* transfer = stringMember(*video, "color_transfer");
    info.hdr = transfer && (*transfer == "smpte2084" || *transfer == "arib-std-b67");
    return info;
}
