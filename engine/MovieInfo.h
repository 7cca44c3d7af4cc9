// What inspecting a movie learns, and the reading of ffprobe's JSON reports.
#pragma once

#include "FileTimes.h"
#include "MovieTiming.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MovieInfo
{
    // An audio track ffmpeg can decode, as it goes into the MP4.
    struct AudioTrack
    {
        int position = 0; // among the movie's audio streams, as ffmpeg's "0:a:<position>"
        // The channel layout the AAC encoder is to be told instead of the
        // source's, under which every channel keeps its place; empty to keep it.
        std::string layout {};

        bool operator==(const AudioTrack&) const = default;
    };

    // Seconds of the longest stream that is converted (the first video stream
    // and the readable audio), or of the container when no such stream says;
    // 0 when nothing says. Other tracks may run longer but are not converted.
    double duration = 0;
    bool copyVideo = false; // H.264 in yuv420p: the stream can go into the MP4 unchanged
    bool hdr = false; // PQ or HLG transfer
    int audioStreams = 0; // every audio stream, readable or not
    std::vector<AudioTrack> audio {}; // the readable ones, in the movie's order
    // The stream says BT.2020 without naming PQ or HLG, which the frames may
    // still carry (an alternative transfer SEI message): only the first frame tells.
    bool checkFirstFrame = false;
    // The place as QuickTime's classic user data item (ISO 6709 text), when
    // the movie has no Apple location key; empty otherwise. Photo libraries
    // and editors read the place only from Apple's key.
    std::string classicLocation {};
    // The video stream's MOV track ID (ffprobe's "id", such as "0x1"), by
    // which inspect() finds the track's own boxes; 0 when the report has none.
    std::uint32_t videoTrackId = 0;

    // Set by inspect() from the movie itself, not from ffprobe's report:
    // The movie's times, taken before anything read it, for the MP4.
    std::optional<FileTimes> times {};
    // The timing of the video track a copy takes, as the movie's boxes give
    // it (its time scale, last sample's duration and edit list), and the
    // movie's time scale; none when the movie is not copied, or the track or
    // a time scale ffmpeg would take cannot be read.
    std::optional<MovieTiming::Track> videoTiming {};
    std::uint32_t movieTimescale = 0;

    bool operator==(const MovieInfo&) const = default;

    // Reduces ffprobe's "-show_streams -show_format -of json" report. Throws
    // ConversionFailure when no video stream can be found, and the JSON
    // parser's own exception when the text is not JSON.
    static MovieInfo fromReport(std::string_view report);
    // Whether ffprobe's JSON report of frames ("-show_entries
    // frame=color_transfer") names PQ or HLG for any of them.
    static bool framesAreHdr(std::string_view report);
};
