// Splitting ffmpeg's progress stream into lines and reading its output time.
#include "ProgressLines.h"

#include "NumberReading.h"
#include "Utf8.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::string_view progressKey = "out_time_us=";

} // namespace

void ProgressLines::read(std::string_view bytes, const std::function<void(double fraction)>& report)
{
    m_pending += utf8::decodeLossy(bytes);
    std::size_t lineStart = 0;
    for (std::size_t end; (end = m_pending.find('\n', lineStart)) != std::string::npos;
         lineStart = end + 1) {
        const std::string_view line(m_pending.data() + lineStart, end - lineStart);
        if (!line.starts_with(progressKey))
            continue;
        const auto microseconds = readNumber(line.substr(progressKey.size()));
        // ffmpeg writes whole microseconds or "N/A"; a value strtod reads as
        // NaN or infinity is no time at all. NaN would reach the progress bar
        // as the fraction done, and infinity would let a result cut short
        // pass the length check for as long as the movie.
        if (!microseconds || !std::isfinite(*microseconds))
            continue;
        const double seconds = *microseconds / 1000000;
        m_reached = std::max(m_reached, seconds);
        if (m_duration > 0)
            report(std::min(seconds / m_duration, 0.99));
    }
    m_pending.erase(0, lineStart);
}
