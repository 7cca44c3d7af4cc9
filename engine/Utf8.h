// The few UTF-8 operations needed on ffmpeg's output and log and on file names.
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

// The length of the longest start of `bytes` that is at most `limit` bytes
// long and does not end inside a character: a well-formed sequence is never
// cut, and bytes that are not UTF-8 count as what one U+FFFD stands for.
std::size_t characterBoundaryAtMost(std::string_view bytes, std::size_t limit);

} // namespace utf8
