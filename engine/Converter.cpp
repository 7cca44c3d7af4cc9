// Tool lookup, cancellation, inspection and the conversion run.
#include "Converter.h"

#include "ChildProcess.h"
#include "ConversionFailure.h"
#include "FileDescriptor.h"
#include "Files.h"
#include "NumberReading.h"
#include "OnExit.h"
#include "SystemError.h"
#include "Utf8.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view progressKey = "out_time_us=";
constexpr std::size_t logTailLength = 900;

fs::path findExecutable(const std::string& name, const std::vector<fs::path>& folders)
{
    for (const fs::path& folder : folders) {
        const fs::path candidate = folder.string() + "/" + name;
        struct stat info;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)
            && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    throw ConversionFailure(ConversionFailure::missingTools);
}

std::vector<std::string> ffmpegArguments(
    const fs::path& input, const fs::path& temporaryOutput, bool copyVideo)
{
    std::vector<std::string> arguments { "-hide_banner", "-loglevel", "error", "-nostdin", "-n",
        "-i", input.string(), "-map", "0:v:0", "-map", "0:a?" };
    if (copyVideo) {
        arguments.insert(arguments.end(), { "-c:v", "copy" });
    } else {
        arguments.insert(arguments.end(),
            { "-c:v", "libx264", "-preset", "fast", "-crf", "18", "-pix_fmt", "yuv420p", "-vf",
                "scale=trunc(iw/2)*2:trunc(ih/2)*2" });
    }
    arguments.insert(arguments.end(),
        { "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart", "-progress", "pipe:1",
            "-nostats", temporaryOutput.string() });
    return arguments;
}

// The two files of one run, removed on every way out of it.
struct RunFiles
{
    fs::path temporaryOutput;
    fs::path log;
    FileDescriptor logFile;

    ~RunFiles()
    {
        if (logFile) {
            logFile.reset();
            removeQuietly(log);
        }
        removeQuietly(temporaryOutput); // already gone after a successful move
    }
};

std::string failureFromLog(const fs::path& log)
{
    std::optional<std::string> text = readWholeFile(log);
    if (!text || !utf8::isValid(*text))
        text = "Unknown error";
    return ConversionFailure::conversionFailedPrefix
        + std::string(utf8::lastCodePoints(*text, logTailLength));
}

} // namespace

Converter::Converter() : Converter(fixedToolFolders()) { }

Converter::Converter(std::vector<fs::path> toolFolders) : m_toolFolders(std::move(toolFolders)) { }

const std::vector<fs::path>& Converter::fixedToolFolders()
{
    static const std::vector<fs::path> folders { "/opt/homebrew/bin", "/usr/local/bin", "/usr/bin" };
    return folders;
}

void Converter::reset()
{
    const std::lock_guard guard(m_lock);
    m_cancelled = false;
}

void Converter::cancel()
{
    const std::lock_guard guard(m_lock);
    m_cancelled = true;
    // Signalled under the lock: children are reaped only after they have been
    // forgotten under this lock, so no id here can have been recycled yet.
    // ffmpeg gets SIGINT and stops cleanly; ffprobe, which may hang on an
    // unresponsive file, is simply killed.
    for (const pid_t process : m_processes)
        ::kill(process, SIGINT);
    for (Inspection* inspection : m_inspections) {
        ::kill(inspection->pid, SIGKILL);
        inspection->interrupted = true;
    }
}

bool Converter::isCancelled() const
{
    const std::lock_guard guard(m_lock);
    return m_cancelled;
}

fs::path Converter::executable(const std::string& name)
{
    return findExecutable(name, fixedToolFolders());
}

fs::path Converter::findTool(const std::string& name) const
{
    return findExecutable(name, m_toolFolders);
}

MovieInfo Converter::inspect(const fs::path& input) const
{
    const fs::path ffprobe = findTool("ffprobe");
    Pipe pipe = Pipe::create();
    FileDescriptor nullDevice(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (!nullDevice)
        throwSystemError(errno, "Could not open /dev/null");

    Inspection inspection {};
    std::optional<ChildProcess> child;
    {
        const std::lock_guard guard(m_lock);
        // An absolute path keeps a name that starts with "-" or holds a colon
        // from being read as an option or a protocol.
        child.emplace(ffprobe,
            std::vector<std::string> { "-v", "error", "-show_streams", "-show_format", "-of",
                "json", fs::absolute(input).string() },
            pipe.writeEnd.get(), nullDevice.get());
        inspection.pid = child->pid();
        m_inspections.push_back(&inspection);
    }
    // Forgotten under the lock before it is reaped, however inspect() ends.
    const auto forget = [this, &inspection] {
        const std::lock_guard guard(m_lock);
        std::erase(m_inspections, &inspection);
    };
    std::optional<OnExit<decltype(forget)>> registration(std::in_place, forget);
    pipe.writeEnd.reset();
    nullDevice.reset();

    const std::string report = readToEnd(pipe.readEnd.get(), "ffprobe's report");
    registration.reset(); // after this, cancel() no longer touches `inspection`
    const int status = child->wait();
    if (inspection.interrupted)
        throw ConversionFailure(ConversionFailure::cancelled);
    if (status != 0)
        throw ConversionFailure(ConversionFailure::noVideoTrack);
    return MovieInfo::fromReport(report);
}

void Converter::convert(const fs::path& input, const fs::path& output, const Progress& progress)
{
    const fs::path source = fs::absolute(input);
    convert(source, inspect(source), output, progress);
}

void Converter::convert(
    const fs::path& input, const MovieInfo& info, const fs::path& output, const Progress& progress)
{
    const fs::path source = fs::absolute(input);
    const fs::path target = fs::absolute(output);
    if (isCancelled())
        throw ConversionFailure(ConversionFailure::cancelled);
    if (info.hdr)
        throw ConversionFailure(ConversionFailure::hdrFootage);

    RunFiles files;
    files.temporaryOutput = target.parent_path() / (".bramblecrest-" + randomUuid() + ".mp4");
    files.log = temporaryDirectory() / ("bramblecrest-" + randomUuid() + ".log");
    files.logFile = createNewFile(files.log);

    const fs::path ffmpeg = findTool("ffmpeg");
    const std::vector<std::string> arguments
        = ffmpegArguments(source, files.temporaryOutput, info.copyVideo);
    const std::string stage = info.copyVideo ? "Copying compatible video" : "Encoding H.264 video";
    Pipe pipe = Pipe::create();

    std::optional<ChildProcess> child;
    {
        // Started under the lock, so a cancel() either comes first and is seen
        // here, or comes after and finds the child to interrupt.
        const std::lock_guard guard(m_lock);
        if (m_cancelled)
            throw ConversionFailure(ConversionFailure::cancelled);
        child.emplace(ffmpeg, arguments, pipe.writeEnd.get(), files.logFile.get());
        m_processes.push_back(child->pid());
    }
    // However the run ends, the child is forgotten before it is reaped (by
    // wait() below, or by ChildProcess's destructor on an exception).
    const auto forget = [this, pid = child->pid()] {
        const std::lock_guard guard(m_lock);
        std::erase(m_processes, pid);
    };
    std::optional<OnExit<decltype(forget)>> registration(std::in_place, forget);
    pipe.writeEnd.reset();

    progress(0.0, stage);

    std::string lineBuffer;
    std::array<char, 4096> buffer;
    while (const std::size_t got
        = readSome(pipe.readEnd.get(), buffer.data(), buffer.size(), "ffmpeg's progress")) {
        lineBuffer += utf8::decodeLossy(std::string_view(buffer.data(), got));
        std::size_t lineStart = 0;
        for (std::size_t end; (end = lineBuffer.find('\n', lineStart)) != std::string::npos;
             lineStart = end + 1) {
            const std::string_view line(lineBuffer.data() + lineStart, end - lineStart);
            if (!line.starts_with(progressKey) || !(info.duration > 0))
                continue;
            if (const auto microseconds = readNumber(line.substr(progressKey.size())))
                progress(std::min(*microseconds / 1000000 / info.duration, 0.99), stage);
        }
        lineBuffer.erase(0, lineStart);
    }

    registration.reset();
    const int status = child->wait();
    if (isCancelled())
        throw ConversionFailure(ConversionFailure::cancelled);
    if (status != 0)
        throw ConversionFailure(failureFromLog(files.log));

    moveWithoutReplacing(files.temporaryOutput, target);
    progress(1.0, "Done");
}
