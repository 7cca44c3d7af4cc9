// Times the window: from process start to its first frame, its resident
// memory when idle, and adding then scrolling 1,000 and 10,000 queued movies;
// and a batch of movies converted through the window against the same movies
// converted by bare ffmpeg one after another, with the processor time the
// window's own threads use meanwhile. Startup only happens once per process,
// so each sample is a fresh child process of this program; the parent prints
// medians of several runs.
//
// Usage: window_benchmark [--runs N]        (also BENCH_RUNS=N; default 5)
//        window_benchmark --batch-runs N <movie>...   the batch, N times
//        window_benchmark --startup-once    one sample: start, idle memory
//        window_benchmark --queue-once N    one sample: add N, then scroll
//        window_benchmark --batch-once <movie>...     one sample of the batch
// Needs a display; bench/window-benchmark provides a virtual one.
#include "AppModel.h"
#include "Median.h"
#include "WindowSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QThread>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(BramblecrestPlugin)

using namespace Qt::StringLiterals;

namespace {

// Long enough for the window to finish its deferred start-up work, so idle
// memory and the later timings do not include it.
constexpr int idleMilliseconds = 1000;
// A frame that never comes means the benchmark is broken, not slow.
constexpr int frameTimeoutMilliseconds = 60000;
constexpr double scrollStep = 200;
const int queueSizes[] = { 1000, 10000 };

double secondsOf(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// When this process started, in seconds on CLOCK_BOOTTIME: field 22 of
// /proc/self/stat. The command name in field 2 may hold spaces and
// parentheses, so the counting starts after its last ')'.
double processStartSeconds()
{
    std::ifstream file("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    std::string field;
    for (int number = 3; number <= 22; ++number)
        fields >> field;
    return std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double residentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            return std::stod(line.substr(6)) / 1024; // the kernel counts in kB
    }
    return 0;
}

void idle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits for the first frame that shows what the GUI thread changed before
// the wait. A frame already rendering at that moment shows the old scene, so
// only a swap after a synchronisation counts. With the threaded render loop
// both signals come on the render thread while the GUI thread waits here.
class FrameWaiter
{
public:
    explicit FrameWaiter(QQuickWindow* window)
    {
        QObject::connect(window, &QQuickWindow::beforeSynchronizing, window, [this] {
            int armed = Armed;
            m_stage.compare_exchange_strong(armed, Synchronized);
        }, Qt::DirectConnection);
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [this] {
            int synchronized = Synchronized;
            if (m_stage.compare_exchange_strong(synchronized, Swapped)) {
                m_swappedAt = secondsOf(CLOCK_MONOTONIC);
                QMetaObject::invokeMethod(&m_loop, &QEventLoop::quit, Qt::QueuedConnection);
            }
        }, Qt::DirectConnection);
    }

    // Returns the CLOCK_MONOTONIC second of that frame's swap.
    double wait()
    {
        m_stage = Armed;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &m_loop, [] {
            qFatal("no frame within %d ms", frameTimeoutMilliseconds);
        });
        timeout.start(frameTimeoutMilliseconds);
        m_loop.exec();
        return m_swappedAt;
    }

private:
    enum Stage { Idle, Armed, Synchronized, Swapped };
    std::atomic<int> m_stage = Idle;
    double m_swappedAt = 0; // written before the quit is posted, read after it
    QEventLoop m_loop;
};

QQuickItem* findItem(QQuickItem* item, const QString& objectName)
{
    if (item->objectName() == objectName)
        return item;
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = findItem(child, objectName))
            return found;
    }
    return nullptr;
}

const char* graphicsApiName(QSGRendererInterface::GraphicsApi api)
{
    switch (api) {
    case QSGRendererInterface::Software: return "software";
    case QSGRendererInterface::OpenGL: return "OpenGL";
    case QSGRendererInterface::Vulkan: return "Vulkan";
    default: return "other";
    }
}

// A window opened the way the application opens it, up to its first frame.
// Prints "<ms from process start> <graphics api> <threaded|unthreaded>".
struct Window
{
    QQmlApplicationEngine engine;
    WindowSet windows { engine, [] { return std::shared_ptr<FilePicker>(); } };
    QQuickWindow* window = nullptr;
    AppModel* model = nullptr;

    Window()
    {
        window = windows.openWindow();
        model = windows.modelOf(window);
        // Connected before the event loop runs, which is where the first frame
        // can start, so it cannot be missed.
        std::atomic<double> firstFrame = 0;
        std::atomic<bool> threaded = false;
        QEventLoop loop;
        const auto connection = QObject::connect(window, &QQuickWindow::frameSwapped, window, [&] {
            double none = 0;
            if (firstFrame.compare_exchange_strong(none, secondsOf(CLOCK_BOOTTIME))) {
                threaded = QThread::currentThread() != qApp->thread();
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            }
        }, Qt::DirectConnection);
        loop.exec();
        QObject::disconnect(connection);
        std::printf("%.1f %s %s", (firstFrame - processStartSeconds()) * 1000,
            graphicsApiName(window->rendererInterface()->graphicsApi()),
            threaded ? "threaded" : "unthreaded");
    }
};

QList<QUrl> footage(int count)
{
    QList<QUrl> urls;
    urls.reserve(count);
    for (int i = 0; i < count; ++i)
        urls.append(QUrl::fromLocalFile(u"/Volumes/Footage/clip-%1.mov"_s.arg(i)));
    return urls;
}

// Prints " <add ms> <MiB after> <scroll ms> <frames>".
void addAndScroll(Window& opened, int count)
{
    const QList<QUrl> urls = footage(count); // made outside the timing
    FrameWaiter frames(opened.window);

    const double addStart = secondsOf(CLOCK_MONOTONIC);
    opened.model->add(urls);
    const double added = frames.wait();
    idle(idleMilliseconds);
    const double addedMiB = residentMiB();

    QQuickItem* list = findItem(opened.window->contentItem(), u"queueList"_s);
    if (!list)
        qFatal("no item named queueList");
    // The list sizes rows it has not made yet from the ones it has, so its
    // extent may move while scrolling: the end is read again every step.
    const auto end = [list] {
        return list->property("originY").toDouble() + list->property("contentHeight").toDouble()
            - list->height();
    };
    int steps = 0;
    const double scrollStart = secondsOf(CLOCK_MONOTONIC);
    double scrolled = scrollStart;
    for (double y = list->property("contentY").toDouble(); y < end(); ++steps) {
        y = std::min(y + scrollStep, end());
        list->setProperty("contentY", y);
        scrolled = frames.wait();
    }
    std::printf(" %.1f %.2f %.1f %d", (added - addStart) * 1000, addedMiB,
        (scrolled - scrollStart) * 1000, steps);
}

// The processor seconds a thread of this process has used: the kernel's
// per-thread scheduler clock, which counts in nanoseconds, unlike the ticks
// of /proc/self/task/<tid>/stat.
double threadSeconds(pid_t tid)
{
    const clockid_t clock = (~static_cast<clockid_t>(tid) << 3) | 6; // the thread's CPUCLOCK_SCHED
    timespec used {};
    if (clock_gettime(clock, &used) != 0)
        return 0; // ended meanwhile
    return used.tv_sec + used.tv_nsec / 1e9;
}

// The processor seconds of each of this process's threads that are the
// window's own (all but the batch's conversion and inspection workers), by
// thread id, with the thread's name.
using ThreadTimes = std::map<pid_t, std::pair<std::string, double>>;

ThreadTimes ownThreads()
{
    ThreadTimes threads;
    DIR* tasks = opendir("/proc/self/task");
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (!name.starts_with("bramble-")) {
            const pid_t tid = std::atoi(entry->d_name);
            threads[tid] = { name, threadSeconds(tid) };
        }
    }
    closedir(tasks);
    return threads;
}

double totalSeconds(const ThreadTimes& threads)
{
    double total = 0;
    for (const auto& [tid, thread] : threads)
        total += thread.second;
    return total;
}

// Which of the window's threads used the time between two snapshots, by
// name, the busiest first: "name 0.123 s, ...".
std::string busiestThreads(const ThreadTimes& before, const ThreadTimes& after)
{
    std::map<std::string, double> byName;
    for (const auto& [tid, thread] : after) {
        const auto earlier = before.find(tid);
        byName[thread.first] += thread.second - (earlier == before.end() ? 0 : earlier->second.second);
    }
    std::vector<std::pair<double, std::string>> sorted;
    for (const auto& [name, seconds] : byName)
        sorted.emplace_back(seconds, name);
    std::sort(sorted.rbegin(), sorted.rend());
    std::string text;
    for (std::size_t i = 0; i < std::min<std::size_t>(sorted.size(), 5); ++i) {
        char part[96];
        std::snprintf(part, sizeof part, "%s%s %.3f s", i ? ", " : "", sorted[i].second.c_str(), sorted[i].first);
        text += part;
    }
    return text;
}

double childrenSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
        + usage.ru_stime.tv_usec / 1e6;
}

// One batch through a fresh window: the movies are queued, "Convert to MP4"
// is pressed, and the clock stops when the last MP4 is in place. Prints
// "<seconds> <window's threads> <workers> <children> <window's threads idle>",
// processor times in seconds, the last over `idleSeconds` before the click.
constexpr double idleSeconds = 2;

int runBatchOnce(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QQuickStyle::setStyle(u"Basic"_s);
    Window opened;
    QList<QUrl> movies;
    for (const QString& path : application.arguments().mid(2))
        movies.append(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    opened.model->add(movies);
    idle(idleMilliseconds);
    const double idleStart = totalSeconds(ownThreads());
    idle(static_cast<int>(idleSeconds * 1000));
    const double idleUsed = totalSeconds(ownThreads()) - idleStart;

    QQuickItem* convert = findItem(opened.window->contentItem(), u"convertButton"_s);
    if (!convert)
        qFatal("no item named convertButton");
    QEventLoop batch;
    QObject::connect(opened.model, &AppModel::runningChanged, &batch, [&] {
        if (!opened.model->running())
            batch.quit();
    });
    std::atomic<int> frames = 0;
    QObject::connect(opened.window, &QQuickWindow::frameSwapped, opened.window, [&frames] {
        ++frames;
    }, Qt::DirectConnection);
    const ThreadTimes threadsBefore = ownThreads();
    const double processBefore = secondsOf(CLOCK_PROCESS_CPUTIME_ID);
    const double childrenBefore = childrenSeconds();
    QElapsedTimer clock;
    clock.start();
    // The button's own signal, as a click emits it: what runs is the window's
    // handler, which starts the batch.
    QMetaObject::invokeMethod(convert, "clicked");
    if (!opened.model->running())
        qFatal("the click did not start a batch (%d queued, button at %g,%g %gx%g, %s)",
            opened.model->items()->count(), convert->mapToScene({}).x(), convert->mapToScene({}).y(),
            convert->width(), convert->height(), convert->isEnabled() ? "enabled" : "disabled");
    batch.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const ThreadTimes threadsAfter = ownThreads();
    const double own = totalSeconds(threadsAfter) - totalSeconds(threadsBefore);
    const double workers = secondsOf(CLOCK_PROCESS_CPUTIME_ID) - processBefore - own;
    const double children = childrenSeconds() - childrenBefore;
    std::fprintf(stderr, "  %d frames in %.2f s; %s\n", frames.load(), seconds,
        busiestThreads(threadsBefore, threadsAfter).c_str());

    for (const QueueItem& item : opened.model->items()->items()) {
        if (!item.hasOutput())
            qFatal("%s: %s", qPrintable(item.url.toLocalFile()), qPrintable(item.status));
        QFile::remove(item.output.toLocalFile());
    }
    std::printf(" %.6f %.6f %.6f %.6f %.6f\n", seconds, own, workers, children, idleUsed);
    return 0;
}

int runOnce(int argc, char* argv[], int queueSize)
{
    QApplication application(argc, argv);
    QQuickStyle::setStyle(u"Basic"_s);
    Window opened;
    idle(idleMilliseconds);
    std::printf(" %.2f", residentMiB());
    if (queueSize > 0)
        addAndScroll(opened, queueSize);
    std::printf("\n");
    return 0;
}

// One child run's printed line, split into its fields.
QStringList runChild(const QStringList& arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "window_benchmark: the run %s failed\n", qPrintable(arguments.join(u' ')));
        std::exit(1);
    }
    return QString::fromUtf8(child.readAllStandardOutput()).split(u' ', Qt::SkipEmptyParts);
}

int runAll(int argc, char* argv[], int runs)
{
    QCoreApplication application(argc, argv);
    std::vector<double> startMs, idleMiB;
    QString graphics;
    struct Queue
    {
        std::vector<double> addMs, addedMiB, scrollMs, frames;
    };
    Queue queues[std::size(queueSizes)];

    // Interleaved, so drift in the machine's load hits every measurement alike.
    for (int run = 1; run <= runs; ++run) {
        const QStringList start = runChild({ u"--startup-once"_s });
        startMs.push_back(start.value(0).toDouble());
        graphics = start.value(1) + u", "_s + start.value(2);
        idleMiB.push_back(start.value(3).toDouble());
        // Written once a run is complete, since the children write to stderr too.
        QString progress = u"run %1/%2: first frame %3 ms, idle %4 MiB"_s.arg(run).arg(runs)
                               .arg(startMs.back(), 0, 'f', 0).arg(idleMiB.back(), 0, 'f', 1);
        for (std::size_t i = 0; i < std::size(queueSizes); ++i) {
            const QStringList queue = runChild({ u"--queue-once"_s, QString::number(queueSizes[i]) });
            queues[i].addMs.push_back(queue.value(4).toDouble());
            queues[i].addedMiB.push_back(queue.value(5).toDouble());
            queues[i].scrollMs.push_back(queue.value(6).toDouble());
            queues[i].frames.push_back(queue.value(7).toDouble());
            progress += u"; %1: add %2 ms, scroll %3 ms"_s.arg(queueSizes[i])
                            .arg(queues[i].addMs.back(), 0, 'f', 0).arg(queues[i].scrollMs.back(), 0, 'f', 0);
        }
        std::fprintf(stderr, "%s\n", qPrintable(progress));
    }

    std::printf("window, median of %d runs (%s rendering)\n", runs, qPrintable(graphics));
    std::printf("  start to first frame              %6.0f ms\n", median(startMs));
    std::printf("  idle resident memory              %6.1f MiB\n", median(idleMiB));
    for (std::size_t i = 0; i < std::size(queueSizes); ++i) {
        const Queue& queue = queues[i];
        const double scroll = median(queue.scrollMs);
        const double frames = median(queue.frames);
        std::printf("  add %6s items (to next frame) %6.0f ms, then %.1f MiB;"
                    " scroll top to bottom %.0f ms (%.0f frames, %.1f ms per frame)\n",
            qPrintable(QLocale(QLocale::English).toString(queueSizes[i])), median(queue.addMs),
            median(queue.addedMiB), scroll, frames, frames > 0 ? scroll / frames : 0);
    }
    return 0;
}

// The same movies as one bare ffmpeg after another, with the engine's copy
// argument list; returns the seconds taken.
double bareFfmpegSeconds(const QStringList& movies, const QString& outputFolder)
{
    QElapsedTimer clock;
    clock.start();
    int number = 0;
    for (const QString& movie : movies) {
        const QString output = u"%1/bare-%2.mp4"_s.arg(outputFolder).arg(++number);
        QProcess ffmpeg;
        ffmpeg.setStandardOutputFile(QProcess::nullDevice());
        ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        ffmpeg.start(u"/usr/bin/ffmpeg"_s,
            { u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-nostdin"_s, u"-n"_s, u"-i"_s, movie,
                u"-map"_s, u"0:v:0"_s, u"-map"_s, u"0:a?"_s, u"-c:v"_s, u"copy"_s, u"-c:a"_s,
                u"aac"_s, u"-b:a"_s, u"192k"_s, u"-map_metadata"_s, u"0"_s, u"-metadata"_s,
                u"major_brand="_s, u"-metadata"_s, u"minor_version="_s, u"-metadata"_s,
                u"compatible_brands="_s, u"-movflags"_s, u"+faststart+use_metadata_tags"_s,
                u"-progress"_s, u"pipe:1"_s, u"-nostats"_s, output });
        if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0) {
            std::fprintf(stderr, "window_benchmark: ffmpeg failed on %s\n", qPrintable(movie));
            std::exit(1);
        }
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    for (int i = 1; i <= number; ++i)
        QFile::remove(u"%1/bare-%2.mp4"_s.arg(outputFolder).arg(i));
    return seconds;
}

int runBatches(int argc, char* argv[], int runs, const QStringList& movies)
{
    QCoreApplication application(argc, argv);
    // Beside the first movie, where the window writes its MP4s too.
    const QString outputFolder = QFileInfo(movies.first()).absolutePath();
    std::vector<double> bare, window, ratio, own, conversions, share, idleOwn;
    QString graphics;
    for (int run = 1; run <= runs; ++run) {
        // Interleaved, so drift in the machine's load hits both sides alike.
        bare.push_back(bareFfmpegSeconds(movies, outputFolder));
        const QStringList sample = runChild(QStringList { u"--batch-once"_s } + movies);
        graphics = sample.value(1) + u", "_s + sample.value(2);
        window.push_back(sample.value(3).toDouble());
        own.push_back(sample.value(4).toDouble());
        conversions.push_back(sample.value(5).toDouble() + sample.value(6).toDouble());
        idleOwn.push_back(sample.value(7).toDouble());
        ratio.push_back(window.back() / bare.back());
        share.push_back(own.back() / conversions.back());
        std::fprintf(stderr,
            "batch run %d/%d: bare ffmpeg %.2f s, window %.2f s (%.2f); window's threads %.3f s "
            "of processor, %.1f %% of the conversions' %.2f s; idle %.1f ms\n",
            run, runs, bare.back(), window.back(), ratio.back(), own.back(), share.back() * 100,
            conversions.back(), idleOwn.back() * 1000);
    }
    std::printf("batch of %lld copies through the window, median of %d runs (%s rendering, %ld "
                "processors online)\n",
        static_cast<long long>(movies.size()), runs, qPrintable(graphics),
        sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("  bare ffmpeg one after another     %6.2f s\n", median(bare));
    std::printf("  window, click to last MP4         %6.2f s  (%.2f of bare ffmpeg)\n", median(window),
        median(ratio));
    std::printf("  window's own threads              %6.3f s of processor, %.1f %% of the "
                "conversions' %.2f s\n",
        median(own), median(share) * 100, median(conversions));
    std::printf("  window's own threads, idle %.0f s   %6.1f ms of processor\n", idleSeconds,
        median(idleOwn) * 1000);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--startup-once")
        return runOnce(argc, argv, 0);
    if (mode == "--queue-once" && argc > 2)
        return runOnce(argc, argv, std::atoi(argv[2]));
    if (mode == "--batch-once" && argc > 2)
        return runBatchOnce(argc, argv);
    if (mode == "--batch-runs" && argc > 3) {
        QStringList movies;
        for (int i = 3; i < argc; ++i)
            movies.append(QString::fromLocal8Bit(argv[i]));
        const int runs = std::atoi(argv[2]);
        if (runs < 1) {
            std::fprintf(stderr, "window_benchmark: the run count must be a positive integer\n");
            return 2;
        }
        return runBatches(argc, argv, runs, movies);
    }

    int runs = std::getenv("BENCH_RUNS") ? std::atoi(std::getenv("BENCH_RUNS")) : 5;
    if (mode == "--runs" && argc > 2)
        runs = std::atoi(argv[2]);
    else if (!mode.empty()) {
        std::fprintf(stderr, "usage: window_benchmark [--runs N] | --batch-runs N <movie>...\n");
        return 2;
    }
    if (runs < 1) {
        std::fprintf(stderr, "window_benchmark: the run count must be a positive integer\n");
        return 2;
    }
    return runAll(argc, argv, runs);
}
