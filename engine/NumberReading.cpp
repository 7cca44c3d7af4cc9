// Locale-independent number reading with strtod_l.
#include "NumberReading.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

locale_t cLocale()
{
    // Made once and kept for the life of the process; newlocale is thread-safe.
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t {});
    return locale;
}

bool isLeadingSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::optional<double> readNumber(std::string_view text)
{
    if (text.empty() || isLeadingSpace(text.front()))
        return std::nullopt;
    const std::string terminated(text); // strtod needs a terminator; an inner NUL stops it early
    char* end = nullptr;
    const double value = strtod_l(terminated.c_str(), &end, cLocale());
    if (end != terminated.c_str() + terminated.size())
        return std::nullopt;
    return value;
}
