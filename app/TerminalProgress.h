// The progress line of a conversion started from a terminal: one line on
// standard error, drawn over in place, gone before the result is printed.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

class TerminalProgress
{
public:
    using Clock = std::chrono::steady_clock;
    // How long the process has been held stopped (Ctrl+Z) so far: left out
    // of the time elapsed and of the pace.
    using TimeStopped = std::function<Clock::duration()>;

    // Shows nothing unless standard error is a terminal that can redraw a
    // line, so scripts and logs see the output they always saw.
    explicit TerminalProgress(TimeStopped timeStopped = {});
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;
    ~TerminalProgress() { clear(); }

    // Takes one of the engine's reports: the stage text, the percentage, the
    // time since the start and, once it can be told, the time left. Redraws
    // at most a few times a second, and always for a new stage.
    void report(double fraction, const std::string& stage);
    // Removes the line; the next output starts at the beginning of a clean line.
    void clear();

private:
    // The clock with the stopped time taken out.
    Clock::time_point now() const;
    void draw(const std::string& text);

    TimeStopped m_timeStopped;
    bool m_shown = false; // whether this terminal gets the line at all
    bool m_drawn = false; // whether a line is on the terminal now
    Clock::time_point m_start = now();
    Clock::time_point m_stageStart; // when the engine's first report of this stage came
    Clock::time_point m_lastDraw;
    std::string m_stage;
};
