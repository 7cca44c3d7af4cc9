// The engine's failure messages that carry numbers.
#include "ConversionFailure.h"

#include <charconv>
#include <cstring>

namespace {

// One decimal with a full stop, whatever the process locale.
std::string oneDecimal(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, result.ptr);
}

} // namespace

ConversionFailure ConversionFailure::endsEarly(double covered, double expected)
{
    return ConversionFailure("The movie ends early: only " + oneDecimal(covered) + " of "
        + oneDecimal(expected) + " seconds could be read. Check that the MOV is complete and playable.");
}

ConversionFailure ConversionFailure::stoppedBySignal(int signal)
{
#if defined(__GLIBC__)
    const char* description = ::sigdescr_np(signal); // strsignal() is not thread-safe
#else
    const char* description = ::strsignal(signal);
#endif
    return ConversionFailure(std::string(conversionFailedPrefix) + "ffmpeg was stopped by signal "
        + std::to_string(signal) + " (" + (description ? description : "unknown signal") + ")");
}
