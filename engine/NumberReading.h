// Reads numbers out of ffprobe and ffmpeg text the same way in every locale.
#pragma once

#include <optional>
#include <string_view>

// The whole text must be one number as strtod reads it in the "C" locale:
// no leading white space, nothing left over.
std::optional<double> readNumber(std::string_view text);
