// File times through fstat and futimens.
#include "FileTimes.h"

#include <array>
#include <sys/stat.h>

bool FileTimes::operator==(const FileTimes& other) const
{
    return accessed.tv_sec == other.accessed.tv_sec && accessed.tv_nsec == other.accessed.tv_nsec
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

std::optional<FileTimes> FileTimes::of(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
#if defined(__APPLE__)
    return FileTimes { info.st_atimespec, info.st_mtimespec };
#else
    return FileTimes { info.st_atim, info.st_mtim };
#endif
}

bool FileTimes::giveTo(int fd) const
{
    const std::array<timespec, 2> times { accessed, modified };
    return ::futimens(fd, times.data()) == 0;
}
