// Platform failures as exceptions whose what() a user can read: what was being
// done, then the system's reason.
#pragma once

#include <cerrno>
#include <string>
#include <system_error>

// `doing` reads like: Could not move "/x/.tmp.mp4" to "/x/Trip.mp4"
[[noreturn]] inline void throwSystemError(int error, const std::string& doing)
{
    throw std::system_error(error, std::generic_category(), doing);
}

inline std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}
