// Turns SIGINT, SIGTERM and SIGHUP into a call on a thread of its own, so a
// conversion can be cancelled, or the window closed, cleanly.
#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

// While it lives, the three signals are blocked in this thread (and in every
// thread started after it) and a dedicated thread waits for them and calls
// `onSignal`. Must be made before any other thread starts.
class TerminationSignals
{
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;
    ~TerminationSignals();

    // Whether one of the signals arrived.
    bool received() const;

private:
    sigset_t m_signals;
    sigset_t m_previousMask;
    std::function<void()> m_onSignal;
    std::atomic<bool> m_received = false;
    std::atomic<bool> m_stopping = false;
    std::thread m_waiter;
};
