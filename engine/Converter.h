// The conversion engine: finds ffprobe and ffmpeg, inspects a movie and turns
// it into an MP4, with progress reports and cancellation from another thread.
#pragma once

#include "MovieInfo.h"
#include "Sandbox.h"

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class Converter
{
public:
    using Progress = std::function<void(double fraction, const std::string& stage)>;

    // ffprobe and ffmpeg from the fixed tool folders, each run in the box.
    Converter();
    // Looks for the tools in `toolFolders` instead of the fixed ones, and
    // runs them in the box only when asked: stand-in tools that are shell
    // scripts could not start in it. Only the tests use this; nothing a
    // user can set reaches it.
    explicit Converter(
        std::vector<std::filesystem::path> toolFolders, Sandboxing sandboxing = Sandboxing::off);
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Clears the cancellation flag and any pause; a batch calls it when it starts.
    void reset();
    // Sets the cancellation flag and interrupts every running ffmpeg and ffprobe,
    // continuing paused ones first. Returns at once; the conversion then ends
    // with "Cancelled".
    void cancel();
    bool isCancelled() const;
    // Stops every running ffmpeg where it is, and every one started before
    // resume(); inspections run on. Nothing once cancelled.
    void pause();
    // Lets the stopped ffmpegs go on from where they were.
    void resume();

    // The first executable `name` in the fixed tool folders, looked up anew on
    // every call. Throws ConversionFailure when there is none.
    static std::filesystem::path executable(const std::string& name);

    // Asks ffprobe about the movie; once more about its first frame when the
    // stream says BT.2020, whose HDR may be signalled only there. Blocks;
    // cancel() stops ffprobe (it holds nothing worth saving), and it then
    // throws ConversionFailure "Cancelled". Anything but a regular file, and
    // a file that does not start as a QuickTime-family movie does, is
    // refused before ffprobe starts.
    MovieInfo inspect(const std::filesystem::path& input) const;

    // Converts `input` into an MP4 at `output`, which is never replaced if it
    // exists: a taken `output` is refused before anything runs. Only a result
    // verified whole and as long as the movie is moved there. Blocks until
    // done; throws ConversionFailure or std::system_error.
    // `progress` is called on this thread: (0, stage) once ffmpeg runs, then
    // fractions up to 0.99, then (1, "Done") once the MP4 is in place.
    void convert(const std::filesystem::path& input, const std::filesystem::path& output,
        const Progress& progress);
    // The same with what inspect() already learnt of `input`, so a batch can
    // inspect the next movies while earlier ones convert.
    void convert(const std::filesystem::path& input, const MovieInfo& info,
        const std::filesystem::path& output, const Progress& progress);

    static const std::vector<std::filesystem::path>& fixedToolFolders();

private:
    // A running ffprobe, known to cancel() until just before it is reaped.
    struct Inspection
    {
        pid_t pid;
        bool interrupted = false; // set by cancel()
    };

    std::filesystem::path findTool(const std::string& name) const;
    // Sends SIGCONT to the running ffmpegs if paused; m_lock must be held.
    void continueStopped();
    // The box for a child with these grants, or none when this converter runs its tools without.
    Sandbox sandbox(const Sandbox::Grants& grants) const;
    // Runs `ffprobe` with `arguments` in `sandbox` and returns what it
    // printed; cancel() stops it like ffmpeg. Throws ConversionFailure when it fails.
    std::string probe(const std::filesystem::path& ffprobe,
        const std::vector<std::string>& arguments, const Sandbox& sandbox) const;

    const std::vector<std::filesystem::path> m_toolFolders;
    const Sandboxing m_sandboxing;

    mutable std::mutex m_lock; // guards m_processes, m_inspections, m_cancelled and m_paused
    // The running ffmpegs of this converter (a batch may run several at once),
    // each until just before it is reaped.
    std::vector<pid_t> m_processes;
    mutable std::vector<Inspection*> m_inspections;
    bool m_cancelled = false;
    bool m_paused = false;
};
