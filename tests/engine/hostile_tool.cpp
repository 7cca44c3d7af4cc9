// A hostile stand-in for ffprobe and ffmpeg: what a decoder taken over by a
// crafted movie would try. As ffmpeg it writes each attempt's outcome as a
// line ("execute /bin/sh: ok", or the error's name) on standard output and
// standard error, then fails, so its log becomes the conversion's message.
// As ffprobe it reports an H.264 stream only if it could not read the private file.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Each returns 0 when the attempt succeeded, else its errno.
int openFile(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    return fd < 0 ? errno : ::close(fd);
}

int connectToLoopback(const char* port)
{
    sockaddr_in address { AF_INET, htons(std::atoi(port)), { htonl(INADDR_LOOPBACK) }, {} };
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) ? errno
                                                                                          : 0;
}

int execute(const char* program)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(program, program, "-c", "exit 0", static_cast<char*>(nullptr));
        ::_exit(errno);
    }
    int status = 0;
    return child < 0 || ::waitpid(child, &status, 0) < 0 ? errno : WEXITSTATUS(status);
}

void report(const char* attempt, int error)
{
    for (FILE* stream : { stdout, stderr })
        std::fprintf(stream, "%s: %s\n", attempt, error == 0 ? "ok" : ::strerrorname_np(error));
}

} // namespace

int main(int argc, char** argv)
{
    const char* privateFile = std::getenv("HOSTILE_PRIVATE");
    if (std::strcmp(::basename(argv[0]), "ffprobe") == 0) {
        std::puts(openFile(privateFile, O_RDONLY) == 0
                ? R"({"streams":[]})"
                : R"({"streams":[{"codec_type":"video","codec_name":"h264","pix_fmt":"yuv420p"}]})");
        return 0;
    }
    std::string input;
    for (int i = 1; i + 1 < argc; ++i)
        input = std::strcmp(argv[i], "-i") == 0 ? argv[i + 1] : input;
    const std::string folder = input.substr(0, input.rfind('/'));
    report("read a private file", openFile(privateFile, O_RDONLY));
    report("create a file beside the movie", openFile(folder + "/planted", O_WRONLY | O_CREAT));
    report("write into the movie", openFile(input, O_WRONLY));
    report("create a file at home",
        openFile(std::getenv("HOME") + std::string("/planted"), O_WRONLY | O_CREAT));
    report("connect to 127.0.0.1", connectToLoopback(std::getenv("HOSTILE_PORT")));
    report("execute /bin/sh", execute("/bin/sh"));
    const std::size_t reserve = std::strtoull(std::getenv("HOSTILE_RESERVE"), nullptr, 10);
    report("reserve memory past the ceiling",
        ::mmap(nullptr, reserve, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)
                == MAP_FAILED
            ? errno
            : 0);
    report("write its output", openFile(argv[argc - 1], O_WRONLY | O_TRUNC));
    return 1;
}
