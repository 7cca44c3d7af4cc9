// posix_spawn with the child's signal state reset and its output redirected.
#include "ChildProcess.h"

#include "FileDescriptor.h"
#include "SystemError.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

class SpawnSettings
{
public:
    SpawnSettings()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSettings()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program,
    const std::vector<std::string>& arguments, int standardOutput, int standardError)
{
    // A source among 0-2 (this process was started with one of them closed, so
    // a pipe or the log got that number) would be overwritten by the first
    // dup2 below before the second could copy it: move it out of the way.
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

    SpawnSettings settings;
    // dup2 clears close-on-exec on the copies, so the child keeps exactly these two.
    posix_spawn_file_actions_adddup2(&settings.actions, standardOutput, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&settings.actions, standardError, STDERR_FILENO);

    // A parent that blocks or ignores SIGINT (a signal-handling thread, a shell's
    // background job) must not pass that on: cancelling relies on SIGINT reaching ffmpeg.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&settings.attributes, &all);
    posix_spawnattr_setsigmask(&settings.attributes, &none);
    posix_spawnattr_setflags(&settings.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const std::string path = program.string();
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const int error
        = posix_spawn(&m_pid, path.c_str(), &settings.actions, &settings.attributes, argv.data(), environ);
    if (error != 0)
        throwSystemError(error, "Could not start " + quoted(path));
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
    if (result < 0)
        m_status = 1; // ECHILD: reaped elsewhere, its status is lost; never report success
    else if (WIFEXITED(status))
        m_status = WEXITSTATUS(status);
    else
        m_status = 128 + WTERMSIG(status);
    return m_status;
}
