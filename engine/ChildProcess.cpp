// fork and exec with the child's signal state reset, its output redirected and
// its life tied to the starting thread's.
#include "ChildProcess.h"

#include "FileDescriptor.h"
#include "SystemError.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

extern char** environ;

namespace {

// Runs in the forked child: only async-signal-safe calls until exec, since
// another thread of the parent may have held any lock (malloc's included)
// at the moment of the fork. Reports a failure's errno through `errorPipe`.
[[noreturn]] void becomeProgram(const char* path, char* const argv[], int standardOutput,
    int standardError, const Sandbox& sandbox, int errorPipe, pid_t parent)
{
    // A parent that blocks or ignores SIGINT (a signal-handling thread, a shell's
    // background job) must not pass that on: cancelling relies on SIGINT reaching ffmpeg.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &defaultAction, nullptr); // fails harmlessly for KILL, STOP and unused numbers
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

#if defined(__linux__)
    // A hard kill of bramblecrest (kill -9, the OOM killer, a crash) must not
    // leave ffmpeg writing on for the rest of an encode. The signal is armed
    // for the death of the forking *thread*, and the parent may already have
    // gone before it was armed: then the child was adopted, and gives up.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
        const int error = errno == 0 ? ESRCH : errno;
        [[maybe_unused]] const ssize_t written = ::write(errorPipe, &error, sizeof error);
        ::_exit(127);
    }
#else
    (void)parent;
#endif

    // dup2 clears close-on-exec on the copies, so the child keeps exactly these two.
    // The box comes last: from there on, only exec and this error report.
    int error = 0;
    if (::dup2(standardOutput, STDOUT_FILENO) < 0 || ::dup2(standardError, STDERR_FILENO) < 0)
        error = errno;
    else
        error = sandbox.enter();
    if (error == 0) {
        ::execve(path, argv, environ);
        error = errno;
    }
    [[maybe_unused]] const ssize_t written = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program,
    const std::vector<std::string>& arguments, int standardOutput, int standardError,
    const Sandbox& sandbox)
{
    // A source among 0-2 (this process was started with one of them closed, so
    // a pipe or the log got that number) would be overwritten by the first
    // dup2 in the child before the second could copy it: move it out of the way.
    FileDescriptor outputCopy, errorCopy;
    const auto clearOfStandardNumbers = [](int& fd, FileDescriptor& copy) {
        if (fd > STDERR_FILENO)
            return;
        copy.reset(::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
        if (!copy)
            throwSystemError(errno, "Could not duplicate a file descriptor");
        fd = copy.get();
    };
    clearOfStandardNumbers(standardOutput, outputCopy);
    clearOfStandardNumbers(standardError, errorCopy);

    // Everything the child needs is made before the fork: it may not allocate.
    const std::string path = program.string();
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    Pipe errorPipe = Pipe::create();
    const pid_t parent = ::getpid();

    m_pid = ::fork();
    if (m_pid < 0)
        throwSystemError(errno, "Could not start " + quoted(path));
    if (m_pid == 0)
        becomeProgram(path.c_str(), argv.data(), standardOutput, standardError, sandbox,
            errorPipe.writeEnd.get(), parent);

    // The pipe closes on exec: end of stream means the program runs.
    errorPipe.writeEnd.reset();
    int childError = 0;
    ssize_t got;
    while ((got = ::read(errorPipe.readEnd.get(), &childError, sizeof childError)) < 0
        && errno == EINTR) { }
    if (got == static_cast<ssize_t>(sizeof childError)) {
        wait();
        throwSystemError(childError, "Could not start " + quoted(path));
    }
}

ChildProcess::~ChildProcess()
{
    if (!m_reaped) {
        ::kill(m_pid, SIGKILL);
        wait();
    }
}

int ChildProcess::wait()
{
    if (m_reaped)
        return m_status;
    int status = 0;
    pid_t result;
    while ((result = ::waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) { }
    m_reaped = true;
    if (result < 0) {
        m_status = 1; // ECHILD: reaped elsewhere, its status is lost; never report success
    } else if (WIFEXITED(status)) {
        m_status = WEXITSTATUS(status);
    } else {
        m_signal = WTERMSIG(status);
        m_status = 128 + m_signal;
    }
    return m_status;
}
