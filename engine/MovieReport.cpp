// Reading ffprobe's JSON reports: which stream is the video, which audio can
// be decoded, how long the converted streams last, whether it is HDR, and
// the place a classic QuickTime item gives.
#include "ConversionFailure.h"
#include "MovieInfo.h"
#include "NumberReading.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>

namespace {

// A member of another JSON type than a string counts as absent.
const std::string* stringMember(const nlohmann::json& object, const char* name)
{
    const auto member = object.find(name);
    if (member == object.end() || !member->is_string())
        return nullptr;
    return member->get_ptr<const std::string*>();
}

bool isMember(const std::string* text, std::initializer_list<std::string_view> values)
{
    return text && std::find(values.begin(), values.end(), *text) != values.end();
}

std::optional<double> durationOf(const nlohmann::json& object)
{
    const std::string* duration = stringMember(object, "duration");
    return duration ? readNumber(*duration) : std::nullopt;
}

// A MOV track ID as ffprobe writes a stream's "id": "0x" and hexadecimal digits.
std::uint32_t trackId(const std::string* id)
{
    std::uint32_t value = 0;
    if (!id || !id->starts_with("0x"))
        return 0;
    const char* end = id->data() + id->size();
    const auto [stop, error] = std::from_chars(id->data() + 2, end, value, 16);
    return error == std::errc() && stop == end ? value : 0;
}

bool isHdrTransfer(const std::string* transfer)
{
    return isMember(transfer, { "smpte2084", "arib-std-b67" });
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
    MovieInfo info;
    const nlohmann::json* video = nullptr;
    // The converted streams' durations: a text track that outlasts the
    // picture and the sound is not converted, so it must not set the length.
    std::optional<double> longest;
    const auto converted = [&longest](const nlohmann::json& stream) {
        const std::optional<double> duration = durationOf(stream);
        if (duration && *duration > 0)
            longest = std::max(longest.value_or(0), *duration);
    };
    for (const nlohmann::json& stream : *streams) {
        if (!stream.is_object())
            throw ConversionFailure(ConversionFailure::noVideoTrack);
        const std::string* type = stringMember(stream, "codec_type");
        if (!video && type && *type == "video") {
            video = &stream;
            converted(stream);
        } else if (type && *type == "audio") {
            const int position = info.audioStreams++;
            // ffprobe names no codec for a format this ffmpeg cannot decode
            // (Apple's spatial audio, "apac"), and ffmpeg would fail on it.
            const std::string* codec = stringMember(stream, "codec_name");
            if (!codec || codec->empty() || *codec == "unknown")
                continue;
            // 5.1 with side surrounds, as QuickTime's L R C LFE Ls Rs reads,
            // has no AAC channel configuration: the encoder would describe
            // it without its LFE. As 5.1 every channel keeps its place.
            const std::string* layout = stringMember(stream, "channel_layout");
            info.audio.push_back({ position, isMember(layout, { "5.1(side)" }) ? "5.1" : "" });
            converted(stream);
        }
    }
    if (!video)
        throw ConversionFailure(ConversionFailure::noVideoTrack);

    const auto format = root.find("format");
    if (longest)
        info.duration = *longest;
    else if (format != root.end() && format->is_object())
        info.duration = durationOf(*format).value_or(0);

    info.videoTrackId = trackId(stringMember(*video, "id"));
    const std::string* codec = stringMember(*video, "codec_name");
    if (codec && *codec == "h264") {
        const std::string* pixelFormat = stringMember(*video, "pix_fmt");
        info.copyVideo = pixelFormat && *pixelFormat == "yuv420p";
    }

    if (format != root.end() && format->is_object()) {
        const auto tags = format->find("tags");
        if (tags != format->end() && tags->is_object()
            && !stringMember(*tags, "com.apple.quicktime.location.ISO6709")) {
            // ffmpeg reads the classic ©xyz item as "location"; only text
            // that starts as ISO 6709 does is worth a place under Apple's key.
            const std::string* location = stringMember(*tags, "location");
            if (location && (location->starts_with('+') || location->starts_with('-')))
                info.classicLocation = *location;
        }
    }

    const std::string* transfer = stringMember(*video, "color_transfer");
    info.hdr = isHdrTransfer(transfer);
    const bool transferUnset = !transfer || *transfer == "unknown";
    info.checkFirstFrame = isMember(transfer, { "bt2020-10", "bt2020-12" })
        || (transferUnset && isMember(stringMember(*video, "color_primaries"), { "bt2020" }));
    return info;
}

bool MovieInfo::framesAreHdr(std::string_view report)
{
    const nlohmann::json root = nlohmann::json::parse(report);
    const auto frames = root.find("frames"); // end() unless the top level is an object
    if (frames == root.end() || !frames->is_array())
        return false;
    return std::any_of(frames->begin(), frames->end(), [](const nlohmann::json& frame) {
        return frame.is_object() && isHdrTransfer(stringMember(frame, "color_transfer"));
    });
}
