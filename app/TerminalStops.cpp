// A sigwait thread that stops the process itself. SIGCONT is taken by the
// same thread only to wake it when this object goes; the process continues
// whatever is blocked.
#include "TerminalStops.h"

#include <pthread.h>

TerminalStops::TerminalStops()
{
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGTSTP);
    sigaddset(&m_signals, SIGCONT);
    pthread_sigmask(SIG_BLOCK, &m_signals, &m_previousMask);
    // The waiter starts with every signal blocked, so SIGINT and the like are
    // left to the threads that wait for them.
    sigset_t all, callers;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &callers);
    m_waiter = std::thread([this] {
        for (;;) {
            int signal = 0;
            if (sigwait(&m_signals, &signal) != 0)
                return;
            {
                const std::lock_guard guard(m_lock);
                if (m_stopping)
                    return;
            }
            if (signal == SIGTSTP)
                stopProcess();
        }
    });
    pthread_sigmask(SIG_SETMASK, &callers, nullptr);
}

TerminalStops::~TerminalStops()
{
    {
        const std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    // SIGCONT, whose default action does nothing to a running process, so
    // it wakes the waiter harmlessly whatever it is doing.
    pthread_kill(m_waiter.native_handle(), SIGCONT);
    m_waiter.join();
    // A Ctrl+Z that came in at the very end still stops the process, once unblocked.
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

TerminalStops::Clock::duration TerminalStops::stopped() const
{
    const std::lock_guard guard(m_lock);
    return m_stopped + (m_stoppedSince ? Clock::now() - *m_stoppedSince : Clock::duration());
}

// SIGTSTP is unblocked in this thread alone and raised at it: its default
// action stops the whole process, as the terminal's signal would have, and
// the call returns once the process is continued. The shell sees the job
// stopped by SIGTSTP, as for any program.
void TerminalStops::stopProcess()
{
    {
        const std::lock_guard guard(m_lock);
        m_stoppedSince = Clock::now();
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    ::raise(SIGTSTP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    const std::lock_guard guard(m_lock);
    m_stopped += Clock::now() - *m_stoppedSince;
    m_stoppedSince.reset();
}
