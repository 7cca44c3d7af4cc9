// Tool lookup, cancellation, inspection and the conversion run.
#include "Converter.h"

#include "ChildProcess.h"
#include "ConversionFailure.h"
#include "EditListCopy.h"
#include "FileDescriptor.h"
#include "FileStart.h"
#include "Files.h"
#include "OnExit.h"
#include "ProgressLines.h"
#include "Sandbox.h"
#include "SystemError.h"
#include "Utf8.h"
#include "WrittenMovie.h"

#include <algorithm>
#include <array>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

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

// Packet durations for a copied video stream: each frame lasts until the
// next one is decoded, which in a MOV is exactly its sample table's duration,
// and the last one as long as the table says (the number appended, with a
// closing parenthesis). ffmpeg's MOV reader knows no duration for the frames
// of a track with reordered frames (B-frames) and guesses one, a single tick
// where the time scale is coarser than a millisecond (600, as phones write
// it); the MP4 writer takes the last sample's duration, and the track's end,
// from these durations. Without a table (a fragmented movie) the last frame
// keeps the reader's duration, DURATION. ffmpeg 5.1 hands the filter packets
// counted in the MP4 track's time scale, so that is set to the movie's own,
// which the table counts in (ffmpeg would otherwise double 600 to 19200).
// Timestamps pass unchanged: setts would otherwise set every pts to the dts.
constexpr std::string_view keepFrameDurations
    = "setts=pts=PTS:dts=DTS:duration=if(gt(NEXT_DTS-DTS\\,0)\\,NEXT_DTS-DTS\\,";

std::vector<std::string> ffmpegArguments(
    const fs::path& input, const fs::path& temporaryOutput, const MovieInfo& info)
{
    // "-f mov": the QuickTime reader alone, so nothing in the file can make
    // ffmpeg open another (a playlist's segments, a concat script's files).
    // "-y": the hidden output is there already, made by convert() so that
    // the box can grant that one file; its name is new, and the final move
    // never replaces anything.
    std::vector<std::string> arguments { "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
        "-f", "mov", "-i", input.string(), "-map", "0:v:0" };
    if (std::ssize(info.audio) == info.audioStreams) {
        arguments.insert(arguments.end(), { "-map", "0:a?" });
    } else {
        // ffmpeg stops at a track it has no decoder for: only the others go in.
        for (const MovieInfo::AudioTrack& track : info.audio)
            arguments.insert(arguments.end(), { "-map", "0:a:" + std::to_string(track.position) });
    }
    if (info.copyVideo) {
        const MovieTiming::Track* timing = info.videoTiming ? &*info.videoTiming : nullptr;
        const std::string lastDuration = timing && timing->lastSampleDuration > 0
            ? std::to_string(timing->lastSampleDuration)
            : "DURATION";
        arguments.insert(arguments.end(),
            { "-c:v", "copy", "-bsf:v", std::string(keepFrameDurations) + lastDuration + ")" });
        if (timing) {
            // The movie's time scale too, so its edit list's durations need no rounding.
            arguments.insert(arguments.end(),
                { "-video_track_timescale", std::to_string(timing->mediaTimescale),
                    "-movie_timescale", std::to_string(info.movieTimescale) });
        }
    } else {
        arguments.insert(arguments.end(),
            { "-c:v", "libx264", "-preset", "fast", "-crf", "18", "-pix_fmt", "yuv420p", "-vf",
                "scale=trunc(iw/2)*2:trunc(ih/2)*2" });
    }
    for (std::size_t output = 0; output < info.audio.size(); ++output) {
        if (!info.audio[output].layout.empty()) {
            // channelmap without a map keeps every channel in its place and
            // only names the layout anew.
            arguments.insert(arguments.end(),
                { "-filter:a:" + std::to_string(output),
                    "channelmap=channel_layout=" + info.audio[output].layout });
        }
    }
    // The movie's metadata (recording date, Apple's location and device keys)
    // goes over as it is, all but the source's file type, which would
    // otherwise be written as keys contradicting the MP4's own.
    arguments.insert(arguments.end(),
        { "-c:a", "aac", "-b:a", "192k", "-map_metadata", "0", "-metadata",
            "major_brand=", "-metadata", "minor_version=", "-metadata", "compatible_brands=" });
    if (!info.classicLocation.empty()) {
        arguments.insert(arguments.end(),
            { "-metadata", "com.apple.quicktime.location.ISO6709=" + info.classicLocation });
    }
    arguments.insert(arguments.end(),
        { "-movflags", "+faststart+use_metadata_tags", "-progress", "pipe:1", "-nostats",
            temporaryOutput.string() });
    return arguments;
}

// The files of one run: the hidden output, removed on every way out of the
// run, and ffmpeg's log, which has no name and goes with its descriptor.
struct RunFiles
{
    fs::path temporaryOutput;
    FileDescriptor log;

    ~RunFiles() { removeQuietly(temporaryOutput); } // already gone after a successful move
};

fs::path temporaryOutputBeside(const fs::path& target)
{
    return target.parent_path() / (".bramblecrest-" + randomUuid() + ".mp4");
}

// The input is opened before ffprobe sees it: a FIFO or a device would block
// ffprobe for ever, and a missing file deserves its own message.
FileDescriptor openReadableMovie(const fs::path& input)
{
    struct stat info;
    if (::stat(input.c_str(), &info) != 0)
        throwSystemError(errno, "Could not open " + quoted(input.string()));
    if (!S_ISREG(info.st_mode))
        throw ConversionFailure(ConversionFailure::noVideoTrack);
    // O_NONBLOCK: should the name have become a FIFO meanwhile, this still returns.
    FileDescriptor movie(::open(input.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!movie)
        throwSystemError(errno, "Could not open " + quoted(input.string()));
    return movie;
}

// Refuses a file that is no QuickTime movie at all (a playlist under a .mov
// name) before ffprobe reads it.
void checkQuickTimeStart(int movie, const fs::path& input)
{
    std::array<char, fileStartLength> start;
    ssize_t got;
    while ((got = ::pread(movie, start.data(), start.size(), 0)) < 0 && errno == EINTR) { }
    if (got < 0)
        throwSystemError(errno, "Could not read " + quoted(input.string()));
    if (readFileStart(std::string_view(start.data(), static_cast<std::size_t>(got)))
        == FileStart::other)
        throw ConversionFailure(ConversionFailure::notQuickTime);
}

// The timing of the video track a copy takes, from the movie's own boxes,
// where the track is a video track and ffmpeg takes both time scales.
void readVideoTiming(int movie, MovieInfo& info)
{
    const std::optional<MovieTiming> timing = MovieTiming::read(movie);
    const MovieTiming::Track* track
        = timing && info.videoTrackId != 0 ? timing->track(info.videoTrackId) : nullptr;
    const auto usable
        = [](std::uint32_t timescale) { return timescale > 0 && timescale <= INT_MAX; };
    if (track && track->handler == "vide" && usable(track->mediaTimescale)
        && usable(timing->timescale)) {
        info.videoTiming = *track;
        info.movieTimescale = timing->timescale;
    }
}

// Whether ffmpeg's log says the input itself is broken: its MOV reader found
// samples missing from the end of the file, a track without the tables that
// say where its samples are, or no index at all; or not one picture or sound
// of a stream could be decoded. Nothing the user can change makes such a
// movie convert, and ffmpeg's own lines would not tell them so.
bool logShowsDamagedInput(std::string_view log)
{
    constexpr std::array<std::string_view, 4> damage { ": partial file",
        "missing mandatory atoms, broken header", "moov atom not found",
        "Cannot determine format of input stream" };
    return std::any_of(damage.begin(), damage.end(),
        [log](std::string_view words) { return log.find(words) != std::string_view::npos; });
}

// The end of ffmpeg's log that fits a message: the last whole lines within
// logTailLength characters, or the end of the last line alone when even
// that is longer.
std::string_view logTail(std::string_view log)
{
    std::string_view tail = utf8::lastCodePoints(log, logTailLength);
    const bool startsMidLine
        = tail.size() < log.size() && log[log.size() - tail.size() - 1] != '\n';
    const std::size_t lineEnd = tail.find('\n');
    if (startsMidLine && lineEnd != std::string_view::npos && lineEnd + 1 < tail.size())
        tail.remove_prefix(lineEnd + 1);
    return tail;
}

// Whether ffmpeg's log says an allocation failed: an encoder's or the C
// library's words for it, a thread without room for its stack, the loader
// without room for a library. Within the box this is its memory ceiling,
// reached by a movie too large or crafted to exhaust the computer; ffmpeg's
// own words would not say so.
bool logShowsMemoryExhausted(std::string_view log)
{
    constexpr std::array<std::string_view, 5> exhausted { "Cannot allocate memory",
        "malloc of size", "std::bad_alloc", "Resource temporarily unavailable",
        "failed to map segment from shared object" };
    return std::any_of(exhausted.begin(), exhausted.end(),
        [log](std::string_view words) { return log.find(words) != std::string_view::npos; });
}

std::string failureFromLog(int log, const ChildProcess& ffmpeg)
{
    std::optional<std::string> text = readWholeFile(log);
    if (text && logShowsMemoryExhausted(*text))
        return ConversionFailure::tooLittleMemory;
    if (text && logShowsDamagedInput(*text))
        return ConversionFailure::damagedMovie;
    if (!text || !utf8::isValid(*text))
        text = "Unknown error";
    if (text->empty() && ffmpeg.endingSignal() != 0)
        return ConversionFailure::stoppedBySignal(ffmpeg.endingSignal()).message();
    return ConversionFailure::conversionFailedPrefix + std::string(logTail(*text));
}

// How far short of the inspected duration a result may end and still be
// whole: the header's duration and the tracks' agree to a frame or two of
// rounding, and AAC priming shifts audio by some 21 ms. A movie cut short
// misses far more, since it loses whole chunks of interleaved samples.
constexpr double allowedShortfall = 0.25;

// Throws unless the MP4 ffmpeg wrote is whole and as long as its source.
// `reached` is the furthest output time ffmpeg reported; the movie's own
// header counts too, since it includes the last frame's duration.
void verifyResult(int written, double expected, double reached)
{
    const std::optional<WrittenMovie> movie = WrittenMovie::read(written);
    if (!movie)
        throw ConversionFailure(ConversionFailure::incompleteResult);
    const double covered = std::max(movie->duration, reached);
    if (expected > 0 && covered < expected - allowedShortfall)
        throw ConversionFailure::endsEarly(covered, expected);
}

} // namespace

Converter::Converter() : Converter(fixedToolFolders(), Sandboxing::on) { }

Converter::Converter(std::vector<fs::path> toolFolders, Sandboxing sandboxing)
    : m_toolFolders(std::move(toolFolders))
    , m_sandboxing(sandboxing)
{
}

const std::vector<fs::path>& Converter::fixedToolFolders()
{
    static const std::vector<fs::path> folders { "/opt/homebrew/bin", "/usr/local/bin", "/usr/bin" };
    return folders;
}

void Converter::reset()
{
    const std::lock_guard guard(m_lock);
    m_cancelled = false;
    continueStopped();
}

void Converter::cancel()
{
    const std::lock_guard guard(m_lock);
    m_cancelled = true;
    // Signalled under the lock: children are reaped only after they have been
    // forgotten under this lock, so no id here can have been recycled yet.
    // ffmpeg gets SIGINT and stops cleanly; ffprobe, which may hang on an
    // unresponsive file, is simply killed. A stopped ffmpeg is continued
    // first: the interrupt would otherwise only wait for a SIGCONT that no
    // one sends, and its conversion (and the batch) would never end.
    continueStopped();
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

void Converter::pause()
{
    const std::lock_guard guard(m_lock);
    if (m_cancelled || m_paused)
        return;
    m_paused = true;
    // SIGSTOP cannot be caught: ffmpeg stops between two instructions and
    // holds its place, its files and its output as they are.
    for (const pid_t process : m_processes)
        ::kill(process, SIGSTOP);
}

void Converter::resume()
{
    const std::lock_guard guard(m_lock);
    continueStopped();
}

void Converter::continueStopped()
{
    if (!m_paused)
        return;
    m_paused = false;
    for (const pid_t process : m_processes)
        ::kill(process, SIGCONT);
}

fs::path Converter::executable(const std::string& name)
{
    return findExecutable(name, fixedToolFolders());
}

fs::path Converter::findTool(const std::string& name) const
{
    return findExecutable(name, m_toolFolders);
}

Sandbox Converter::sandbox(const Sandbox::Grants& grants) const
{
    return m_sandboxing == Sandboxing::on ? Sandbox::prepare(grants) : Sandbox();
}

MovieInfo Converter::inspect(const fs::path& input) const
{
    const FileDescriptor movie = openReadableMovie(input);
    // Before anything reads the movie, which may move its access time.
    const std::optional<FileTimes> times = FileTimes::of(movie.get());
    checkQuickTimeStart(movie.get(), input);
    const fs::path ffprobe = findTool("ffprobe");
    // An absolute path keeps a name that starts with "-" or holds a colon
    // from being read as an option or a protocol; "-f mov" keeps the file
    // from being read as anything but a QuickTime movie.
    const fs::path absolute = fs::absolute(input);
    const std::string path = absolute.string();
    const Sandbox box = sandbox({ ffprobe, absolute });
    MovieInfo info = MovieInfo::fromReport(probe(ffprobe,
        { "-v", "error", "-show_streams", "-show_format", "-of", "json", "-f", "mov", path }, box));
    if (info.checkFirstFrame) {
        info.hdr = MovieInfo::framesAreHdr(probe(ffprobe,
            { "-v", "error", "-select_streams", "v:0", "-read_intervals", "%+#1", "-show_entries",
                "frame=color_transfer", "-of", "json", "-f", "mov", path },
            box));
    }
    info.times = times;
    if (info.copyVideo)
        readVideoTiming(movie.get(), info);
    return info;
}

std::string Converter::probe(const fs::path& ffprobe, const std::vector<std::string>& arguments,
    const Sandbox& sandbox) const
{
    Pipe pipe = Pipe::create();
    FileDescriptor nullDevice(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (!nullDevice)
        throwSystemError(errno, "Could not open /dev/null");

    Inspection inspection {};
    std::optional<ChildProcess> child;
    {
        // Checked where the child starts, as for ffmpeg: an inspection begun
        // after cancel() would not be interrupted by it.
        const std::lock_guard guard(m_lock);
        if (m_cancelled)
            throw ConversionFailure(ConversionFailure::cancelled);
        child.emplace(ffprobe, arguments, pipe.writeEnd.get(), nullDevice.get(), sandbox);
        inspection.pid = child->pid();
        m_inspections.push_back(&inspection);
    }
    // Forgotten under the lock before it is reaped, however probe() ends.
    const auto forget = [this, &inspection] {
        const std::lock_guard guard(m_lock);
        std::erase(m_inspections, &inspection);
    };
    std::optional<OnExit<decltype(forget)>> registration(std::in_place, forget);
    pipe.writeEnd.reset();
    nullDevice.reset();

    std::string report = readToEnd(pipe.readEnd.get(), "ffprobe's report");
    registration.reset(); // after this, cancel() no longer touches `inspection`
    const int status = child->wait();
    if (inspection.interrupted)
        throw ConversionFailure(ConversionFailure::cancelled);
    if (status != 0)
        throw ConversionFailure(ConversionFailure::noVideoTrack);
    return report;
}

void Converter::convert(const fs::path& input, const fs::path& output, const Progress& progress)
{
    const fs::path source = fs::absolute(input);
    const fs::path target = fs::absolute(output);
    // A target that is taken would fail only at the final move: refuse before
    // ffprobe, let alone the whole conversion, runs for nothing.
    checkCanMoveTo(temporaryOutputBeside(target), target);
    convert(source, inspect(source), target, progress);
}

void Converter::convert(
    const fs::path& input, const MovieInfo& info, const fs::path& output, const Progress& progress)
{
    const fs::path source = fs::absolute(input);
    const fs::path target = fs::absolute(output);
    RunFiles files { temporaryOutputBeside(target), FileDescriptor() };
    checkCanMoveTo(files.temporaryOutput, target);
    if (isCancelled())
        throw ConversionFailure(ConversionFailure::cancelled);
    if (info.hdr)
        throw ConversionFailure(ConversionFailure::hdrFootage);
    // Sound that cannot be read at all is refused rather than silently dropped.
    if (info.audioStreams > 0 && info.audio.empty())
        throw ConversionFailure(ConversionFailure::unreadableSound);

    files.log = createAnonymousFile(temporaryDirectory());

    const fs::path ffmpeg = findTool("ffmpeg");
    // Made here, not by ffmpeg, so the box can let ffmpeg write this one file
    // and nothing else in the folder, which often holds the user's movies.
    createNewFile(files.temporaryOutput, target);
    const Sandbox box = sandbox({ ffmpeg, source, files.temporaryOutput });
    const std::vector<std::string> arguments = ffmpegArguments(source, files.temporaryOutput, info);
    const std::string stage = info.copyVideo ? "Copying compatible video" : "Encoding H.264 video";
    Pipe pipe = Pipe::create();

    std::optional<ChildProcess> child;
    {
        // Started under the lock, so a cancel() either comes first and is seen
        // here, or comes after and finds the child to interrupt. This thread
        // waits for the child below, so it outlives it, as the child's death
        // signal on this thread's end requires.
        const std::lock_guard guard(m_lock);
        if (m_cancelled)
            throw ConversionFailure(ConversionFailure::cancelled);
        child.emplace(ffmpeg, arguments, pipe.writeEnd.get(), files.log.get(), box);
        m_processes.push_back(child->pid());
        // A batch paused while this run was on its way to ffmpeg: stopped
        // before it has done any work to speak of.
        if (m_paused)
            ::kill(child->pid(), SIGSTOP);
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

    ProgressLines lines(info.duration);
    std::array<char, 4096> buffer;
    while (const std::size_t got
        = readSome(pipe.readEnd.get(), buffer.data(), buffer.size(), "ffmpeg's progress")) {
        lines.read(std::string_view(buffer.data(), got),
            [&](double fraction) { progress(fraction, stage); });
    }
    const double reached = lines.reached(); // seconds of output ffmpeg reported

    registration.reset();
    const int status = child->wait();
    if (isCancelled())
        throw ConversionFailure(ConversionFailure::cancelled);
    if (status != 0)
        throw ConversionFailure(failureFromLog(files.log.get(), *child));

    // The hidden file gets its last writes, the movie's edit list and then the
    // movie's times, before it is flushed, so the flush and the move carry
    // both. ffmpeg exits 0 even when it could not write the index (a full
    // disk), and converts a movie cut short as far as it goes: neither may
    // pass as done. What is verified is on the disk first, where a write the
    // disk refused (EIO, a full thin volume) shows, and is read without moving
    // the access time just set; the move then flushes the new name, so "Done"
    // is never said of an MP4 that a power cut can still take. This waits on
    // the disk on this thread alone: the other runs go on.
    const FileDescriptor written = openWritten(files.temporaryOutput, target);
    if (info.videoTiming) {
        const std::optional<MovieTiming> timing = MovieTiming::read(written.get());
        if (timing
            && !writeNumbers(
                written.get(), editListChanges(*timing, info.movieTimescale, *info.videoTiming)))
            throwSystemError(errno, unsavedMessage(target));
    }
    // A file system that keeps no times, or will not set them, keeps its own.
    if (info.times)
        info.times->giveTo(written.get());
    flushBeforeMove(written.get(), target);
    verifyResult(written.get(), info.duration, reached);
    moveWithoutReplacing(files.temporaryOutput, target);
    progress(1.0, "Done");
}
