// A child process started with fork and exec, always waited for, and ended by
// the kernel if the thread that started it dies.
#pragma once

#include "Sandbox.h"

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess
{
public:
    // Starts `program` (an absolute path; no shell, no search path) with
    // `arguments` after argv[0]. Standard input and the environment are
    // inherited; standard output and error go to the given descriptors. The
    // child starts with default signal dispositions and an empty signal mask,
    // whatever this process blocks or ignores, and is sent SIGKILL when the
    // thread that started it ends: that thread must outlive the child, which
    // it does by waiting for it. It enters `sandbox` just before exec; a
    // sandbox it cannot enter keeps it from starting. Throws std::system_error.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
        int standardOutput, int standardError, const Sandbox& sandbox = Sandbox());
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child that was not waited for is killed and reaped, so none outlives its owner.
    ~ChildProcess();

    pid_t pid() const { return m_pid; }

    // Waits for the child to end. Returns its exit status; a child ended by a
    // signal gives 128 + the signal number, never 0.
    int wait();
    // The signal that ended the child, or 0 when it exited (or is not reaped yet).
    int endingSignal() const { return m_signal; }

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_status = 0;
    int m_signal = 0;
};
