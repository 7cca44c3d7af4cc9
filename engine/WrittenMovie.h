// What an MP4 that ffmpeg wrote holds, read from its box structure: enough to
// tell a whole file from one cut short by a full disk, without a second ffprobe.
#pragma once

#include <optional>

struct WrittenMovie
{
    double duration = 0; // seconds, from the movie header

    // The movie in the file behind `fd`, or nothing when its top-level boxes
    // do not span the file exactly, or it has no movie box with a header and
    // at least one track. Reads only box headers and the movie header.
    static std::optional<WrittenMovie> read(int fd);
};
