// Turns SIGINT, SIGTERM and SIGHUP into a cancellation of one conversion.
#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

// While it lives, the three signals are blocked in this thread (and in every
// thread started after it) and a dedicated thread waits for them and calls
// `cancel`. Must be made before any other thread starts.
class SignalCancellation
{
public:
    explicit SignalCancellation(std::function<void()> cancel);
    SignalCancellation(const SignalCancellation&) = delete;
    SignalCancellation& operator=(const SignalCancellation&) = delete;
    ~SignalCancellation();

    // Whether one of the signals arrived.
    bool received() const;

private:
    sigset_t m_signals;
    sigset_t m_previousMask;
    std::function<void()> m_cancel;
    std::atomic<bool> m_received = false;
    std::atomic<bool> m_stopping = false;
    std::thread m_waiter;
};
