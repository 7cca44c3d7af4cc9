// A sigwait thread: the conversion's lock cannot be taken in a signal handler.
#include "TerminationSignals.h"

#include <pthread.h>

TerminationSignals::TerminationSignals(std::function<void()> onSignal) : m_onSignal(std::move(onSignal))
{
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    sigaddset(&m_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &m_signals, &m_previousMask);
    m_waiter = std::thread([this] {
        for (;;) {
            int signal = 0;
            if (sigwait(&m_signals, &signal) != 0 || m_stopping)
                return;
            m_received = true;
            m_onSignal();
        }
    });
}

TerminationSignals::~TerminationSignals()
{
    m_stopping = true;
    pthread_kill(m_waiter.native_handle(), SIGTERM);
    m_waiter.join();
    // A signal that came in at the very end is taken here: unblocked, its
    // default action would end the process after the work was done, and
    // before buffered output was written.
    const timespec now {};
    while (sigtimedwait(&m_signals, nullptr, &now) > 0) { }
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

bool TerminationSignals::received() const
{
    if (m_received)
        return true;
    // A signal delivered to the whole process may still be pending, not yet
    // taken by the waiting thread.
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1
        || sigismember(&pending, SIGHUP) == 1;
}
