// Carriage return and "erase to the end of the line" draw the line over in
// place; every terminal emulator has both, a "dumb" one (an editor's shell
// buffer) does not, and gets no line.
#include "TerminalProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr auto redrawInterval = 250ms;
// Before this much of the stage and this long, a guess at the time left would swing wildly.
constexpr double estimateFromFraction = 0.02;
constexpr auto estimateAfter = 1s;

constexpr std::string_view eraseToEnd = "\x1b[K";

// 0:07, 12:34 or 1:02:03.
std::string duration(long long seconds)
{
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
            seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

double seconds(std::chrono::steady_clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

// The terminal's width, or 0 when it does not say.
std::size_t terminalColumns()
{
    winsize size {};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

} // namespace

TerminalProgress::TerminalProgress(TimeStopped timeStopped)
    : m_timeStopped(std::move(timeStopped))
{
    const char* terminal = std::getenv("TERM");
    m_shown = ::isatty(STDERR_FILENO) == 1 && !(terminal && std::string_view(terminal) == "dumb");
}

void TerminalProgress::report(double fraction, const std::string& stage)
{
    if (!m_shown)
        return;
    const Clock::time_point now = this->now();
    const bool newStage = stage != m_stage;
    if (newStage) {
        m_stage = stage;
        m_stageStart = now;
    } else if (fraction < 1 && now - m_lastDraw < redrawInterval) {
        return;
    }
    m_lastDraw = now;

    const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
    std::string text = stage + "  " + std::to_string(percent) + "%  "
        + duration(static_cast<long long>(seconds(now - m_start))) + " elapsed";
    // The rate of this stage so far: ffmpeg's output time against the clock.
    const Clock::duration running = now - m_stageStart;
    if (fraction >= estimateFromFraction && fraction < 1 && running >= estimateAfter) {
        const double left = seconds(running) * (1 - fraction) / fraction;
        text += "  " + duration(static_cast<long long>(std::ceil(left))) + " left";
    }
    draw(text);
}

TerminalProgress::Clock::time_point TerminalProgress::now() const
{
    return Clock::now() - (m_timeStopped ? m_timeStopped() : Clock::duration());
}

void TerminalProgress::clear()
{
    if (!m_drawn)
        return;
    const std::string erase = "\r" + std::string(eraseToEnd);
    std::fwrite(erase.data(), 1, erase.size(), stderr);
    std::fflush(stderr);
    m_drawn = false;
}

void TerminalProgress::draw(const std::string& text)
{
    // One column short of the width: text in the last column would make some
    // terminals wrap, and the line could no longer be drawn over.
    const std::size_t columns = terminalColumns();
    const std::string_view shown = columns > 1 && text.size() >= columns
        ? std::string_view(text).substr(0, columns - 1)
        : std::string_view(text);
    const std::string line = "\r" + std::string(shown) + std::string(eraseToEnd);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    m_drawn = true;
}
