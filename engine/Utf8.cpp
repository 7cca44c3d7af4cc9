// UTF-8 validation and lossy decoding; invalid input is replaced by U+FFFD per
// maximal ill-formed subpart, as the Unicode standard recommends.
#include "Utf8.h"

namespace utf8 {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// Length of the well-formed sequence starting at `at`, or 0 when it is
// ill-formed; `subpart` then holds how many bytes one U+FFFD replaces.
std::size_t sequenceLength(std::string_view bytes, std::size_t at, std::size_t& subpart)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    subpart = 1;
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= bytes.size())
            return 0;
        const unsigned char c = byte(at + i);
        const unsigned char min = i == 1 ? low : 0x80;
        const unsigned char max = i == 1 ? high : 0xBF;
        if (c < min || c > max)
            return 0;
        subpart = i + 1;
    }
    return length;
}

} // namespace

std::string decodeLossy(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t subpart = 0;
        if (const std::size_t length = sequenceLength(bytes, at, subpart)) {
            text.append(bytes.substr(at, length));
            at += length;
        } else {
            text.append(replacementCharacter);
            at += subpart;
        }
    }
    return text;
}

bool isValid(std::string_view bytes)
{
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t subpart = 0;
        const std::size_t length = sequenceLength(bytes, at, subpart);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string_view lastCodePoints(std::string_view text, std::size_t count)
{
    std::size_t start = text.size();
    while (start > 0 && count > 0) {
        --start;
        // A continuation byte (10xxxxxx) belongs to the code point that started before it.
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80)
            --count;
    }
    return text.substr(start);
}

std::size_t characterBoundaryAtMost(std::string_view bytes, std::size_t limit)
{
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t subpart = 0;
        const std::size_t length = sequenceLength(bytes, at, subpart);
        const std::size_t step = length != 0 ? length : subpart;
        if (at + step > limit)
            break;
        at += step;
    }
    return at;
}

} // namespace utf8
