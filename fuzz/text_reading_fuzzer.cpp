// The UTF-8 and number reading of ffprobe's and ffmpeg's text: lossy decoding
// always gives valid UTF-8 and changes valid text not at all, a log's tail is
// whole code points, and a number is read from exactly the text given.
#include "NumberReading.h"
#include "Utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::size_t codePoints(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

bool sameNumber(std::optional<double> a, std::optional<double> b)
{
    if (!a || !b)
        return !a && !b;
    return *a == *b || (std::isnan(*a) && std::isnan(*b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string text = utf8::decodeLossy(bytes);
    if (!utf8::isValid(text) || utf8::isValid(bytes) != (text == bytes))
        std::abort();
    for (const std::size_t count : { std::size_t(0), std::size_t(1), size % 7, std::size_t(900) }) {
        const std::string_view tail = utf8::lastCodePoints(text, count);
        if (tail.data() + tail.size() != text.data() + text.size() || !utf8::isValid(tail)
            || codePoints(tail) != std::min(count, codePoints(text)))
            std::abort();
    }

    // Digits right after the text must not become part of its number.
    const std::optional<double> number = readNumber(bytes);
    const std::string followed = std::string(bytes) + "7";
    if (!sameNumber(number, readNumber(std::string_view(followed).substr(0, size))))
        std::abort();
    if (number && (bytes.find('\0') != bytes.npos || bytes.find_first_of(" \t\n\v\f\r") == 0))
        std::abort();
    return 0;
}
