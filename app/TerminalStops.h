// The time the terminal holds the command line stopped: Ctrl+Z until fg (or
// bg), so the progress line leaves it out of the time elapsed and left.
#pragma once

#include <chrono>
#include <csignal>
#include <mutex>
#include <optional>
#include <thread>

// While it lives, SIGTSTP is blocked in this thread (and in every thread
// started after it) and a dedicated thread takes it, notes the time and
// stops the process as SIGTSTP's default action would. Must be made before
// any other thread starts, TerminationSignals' included: a thread that does
// not block SIGTSTP would be stopped by it unnoticed.
class TerminalStops
{
public:
    using Clock = std::chrono::steady_clock;

    TerminalStops();
    TerminalStops(const TerminalStops&) = delete;
    TerminalStops& operator=(const TerminalStops&) = delete;
    ~TerminalStops();

    // How long the process has been stopped so far, a stop under way included.
    Clock::duration stopped() const;

private:
    void stopProcess();

    sigset_t m_signals;
    sigset_t m_previousMask;
    mutable std::mutex m_lock; // guards the three below
    Clock::duration m_stopped {};
    std::optional<Clock::time_point> m_stoppedSince;
    bool m_stopping = false;
    std::thread m_waiter;
};
