// The movie's edit list for the video track of its copy. ffmpeg's MP4 writer
// makes the list from the samples it wrote, so a copy of a trimmed movie
// would show the frames the movie hides at its end; the written numbers are
// set to the movie's afterwards, in place.
#pragma once

#include "MovieTiming.h"

#include <vector>

// The numbers of `written` to set (each with its new value) so that its first
// video track shows what `source` shows: the durations of the source's edits
// (a stretch of media no longer than ffmpeg wrote it), their sum as the
// track's duration, timecode tracks as long, and the longest track's
// duration as the movie's. Nothing when the movie time scales differ,
// either track has no edit list, the lists differ in length or in which
// entries show nothing, or a source entry plays at another rate than 1:
// ffmpeg's list then stays as it is (it starts where the movie does, and
// ffmpeg's reader flattens lists of several stretches into one).
std::vector<BoxNumber> editListChanges(
    const MovieTiming& written, std::uint32_t sourceTimescale, const MovieTiming::Track& source);

// Writes each number, big-endian, in its place; false with errno set when a
// write fails.
bool writeNumbers(int fd, const std::vector<BoxNumber>& numbers);
