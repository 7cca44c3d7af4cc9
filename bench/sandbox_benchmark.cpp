// What the box around ffprobe and ffmpeg costs: preparing it before the fork
// (the Landlock ruleset and its rules; the seccomp filter is made once), and
// starting a boxed child against an unboxed one, `ffprobe -version` (which
// loads all of ffmpeg's libraries, each open checked by Landlock), in turn.
//
// Usage: sandbox_benchmark [runs]   (default 200)
#include "ChildProcess.h"
#include "FileDescriptor.h"
#include "Median.h"
#include "Sandbox.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

template<typename Work>
double microseconds(const Work& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char* argv[])
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    // Any readable file stands for the movie and the hidden output.
    const Sandbox::Grants grants { "/usr/bin/ffprobe", "/etc/hostname", "/etc/hostname" };
    const FileDescriptor nullDevice(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    const double first = microseconds([&] { Sandbox::prepare(grants); });
    std::vector<double> prepare, plain, boxed;
    for (int run = 0; run < runs; ++run) {
        prepare.push_back(microseconds([&] { Sandbox::prepare(grants); }));
        for (const bool inBox : { false, true }) {
            const Sandbox sandbox = inBox ? Sandbox::prepare(grants) : Sandbox();
            (inBox ? boxed : plain).push_back(microseconds([&] {
                ChildProcess child(grants.program, { "-version" }, nullDevice.get(),
                    nullDevice.get(), sandbox);
                if (child.wait() != 0)
                    std::abort();
            }));
        }
    }
    std::printf("%s\n", Sandbox::description().c_str());
    std::printf("prepare: first %.0f us (with the seccomp filter), then median %.0f us\n", first,
        median(prepare));
    std::printf("ffprobe -version, median of %d: %.0f us without the box, %.0f us in it (%+.0f us)\n",
        runs, median(plain), median(boxed), median(boxed) - median(plain));
    return 0;
}
