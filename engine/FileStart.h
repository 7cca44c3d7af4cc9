// What the first bytes of a file say it is: a QuickTime-family movie (MOV,
// MP4, M4V, 3GP) starts with one of a few boxes; a playlist, a manifest, a
// script, Matroska, MPEG-TS or a picture does not.
#pragma once

#include <cstddef>
#include <string_view>

enum class FileStart {
    quickTime, // a box a QuickTime-family movie may start with
    other, // not a QuickTime-family movie
    tooShort, // too few bytes to hold a box header: let the reader say what is wrong
};

// How many bytes of the file's start readFileStart() looks at, at most.
constexpr std::size_t fileStartLength = 20;

FileStart readFileStart(std::string_view firstBytes);
