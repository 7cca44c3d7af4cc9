// A file's access and modification times, to the nanosecond, taken from one
// file and given to another.
#pragma once

#include <ctime>
#include <optional>

struct FileTimes
{
    timespec accessed {};
    timespec modified {};

    bool operator==(const FileTimes& other) const;

    // The times of the file behind `fd`, or nothing when fstat fails.
    static std::optional<FileTimes> of(int fd);
    // Gives the file behind `fd` these times, as far as its file system keeps
    // them; false when it refuses (a FUSE drive whose files belong to another
    // user, a file system without times).
    bool giveTo(int fd) const;
};
