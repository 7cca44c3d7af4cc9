// The few UTF-8 operations the engine needs on ffmpeg's output and log.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

// Decodes bytes as UTF-8 and re-encodes them, with every invalid sequence
// replaced by U+FFFD, so the result is always valid UTF-8.
std::string decodeLossy(std::string_view bytes);

// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF).
bool isValid(std::string_view bytes);

// The last `count` code points of valid UTF-8 text (all of it when shorter).
std::string_view lastCodePoints(std::string_view text, std::size_t count);

} // namespace utf8
