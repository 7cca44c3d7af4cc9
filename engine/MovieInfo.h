// What inspecting a movie learns, and the reading of ffprobe's JSON report.
#pragma once

#include <string_view>

struct MovieInfo
{
    double duration = 0; // seconds; 0 when the report gives none
    bool copyVideo = false; // H.264 in yuv420p: the stream can go into the MP4 unchanged
    bool hdr = false; // PQ or HLG transfer

    bool operator==(const MovieInfo&) const = default;

    // Reduces ffprobe's "-show_streams -show_format -of json" report. Throws
    // ConversionFailure when no video stream can be found, and the JSON
    // parser's own exception when the text is not JSON.
    static MovieInfo fromReport(std::string_view report);
};
