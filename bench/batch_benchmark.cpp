// One timed batch, for bench/batch-benchmark: either through a real AppModel
// (real engine, no window) or as bare ffmpeg runs one after another with the
// engine's own argument lists. Prints "<wall seconds> <processor seconds>",
// the processor time being this process's and its children's together.
//
// Usage: batch_benchmark model|ffmpeg <output folder> copy=<movie>|encode=<movie>...
// A movie's kind only matters to the bare ffmpeg runs; the model inspects.
#include "AppModel.h"
#include "FilePicker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

struct Movie
{
    bool copy;
    QString path;
};

class FixedFolder : public FilePicker
{
public:
    explicit FixedFolder(const QString& folder) : m_folder(folder) { }
    std::optional<QList<QUrl>> pickMovies() override { return std::nullopt; }
    std::optional<QList<QUrl>> pickFolder() override
    {
        return QList<QUrl> { QUrl::fromLocalFile(m_folder) };
    }

private:
    QString m_folder;
};

double processorSeconds()
{
    double total = 0;
    for (const int who : { RUSAGE_SELF, RUSAGE_CHILDREN }) {
        rusage usage {};
        ::getrusage(who, &usage);
        total += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
            + usage.ru_stime.tv_usec / 1e6;
    }
    return total;
}

// The engine's argument lists, so the comparison is with the same work.
QStringList ffmpegArguments(const Movie& movie, const QString& output)
{
    QStringList arguments { u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-nostdin"_s, u"-y"_s,
        u"-f"_s, u"mov"_s, u"-i"_s, movie.path, u"-map"_s, u"0:v:0"_s, u"-map"_s, u"0:a?"_s };
    if (movie.copy)
        // The engine puts the last sample's duration from the movie's own
        // table where this has DURATION: the same filter, the same work.
        arguments << u"-c:v"_s << u"copy"_s << u"-bsf:v"_s
                  << u"setts=pts=PTS:dts=DTS:duration=if(gt(NEXT_DTS-DTS\\,0)\\,NEXT_DTS-DTS\\,"
                     u"DURATION)"_s;
    else
        arguments << u"-c:v"_s << u"libx264"_s << u"-preset"_s << u"fast"_s << u"-crf"_s << u"18"_s
                  << u"-pix_fmt"_s << u"yuv420p"_s << u"-vf"_s << u"scale=trunc(iw/2)*2:trunc(ih/2)*2"_s;
    arguments << u"-c:a"_s << u"aac"_s << u"-b:a"_s << u"192k"_s << u"-map_metadata"_s << u"0"_s
              << u"-metadata"_s << u"major_brand="_s << u"-metadata"_s << u"minor_version="_s
              << u"-metadata"_s << u"compatible_brands="_s << u"-movflags"_s
              << u"+faststart+use_metadata_tags"_s << u"-progress"_s << u"pipe:1"_s << u"-nostats"_s
              << output;
    return arguments;
}

int runModel(const QString& folder, const QList<Movie>& movies)
{
    AppModel model(std::make_shared<FixedFolder>(folder));
    model.chooseFolder();
    QList<QUrl> urls;
    for (const Movie& movie : movies)
        urls.append(QUrl::fromLocalFile(movie.path));
    model.add(urls);

    QElapsedTimer clock;
    const double processorBefore = processorSeconds();
    clock.start();
    QObject::connect(&model, &AppModel::runningChanged, qApp, [&model] {
        if (!model.running())
            QCoreApplication::quit();
    });
    model.start();
    QCoreApplication::exec();
    const double wall = clock.nsecsElapsed() / 1e9;
    const double processor = processorSeconds() - processorBefore;

    for (const QueueItem& item : model.items()->items()) {
        if (!item.hasOutput()) {
            std::fprintf(stderr, "batch_benchmark: %s: %s\n", qPrintable(item.url.toLocalFile()),
                qPrintable(item.status));
            return 1;
        }
    }
    std::printf("%.6f %.6f\n", wall, processor);
    return 0;
}

int runFfmpeg(const QString& folder, const QList<Movie>& movies)
{
    QElapsedTimer clock;
    const double processorBefore = processorSeconds();
    clock.start();
    int number = 0;
    for (const Movie& movie : movies) {
        QProcess ffmpeg;
        ffmpeg.setStandardOutputFile(QProcess::nullDevice());
        ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        ffmpeg.start(u"/usr/bin/ffmpeg"_s,
            ffmpegArguments(movie, u"%1/%2.mp4"_s.arg(folder).arg(++number)));
        if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitStatus() != QProcess::NormalExit
            || ffmpeg.exitCode() != 0) {
            std::fprintf(stderr, "batch_benchmark: ffmpeg failed on %s\n", qPrintable(movie.path));
            return 1;
        }
    }
    std::printf("%.6f %.6f\n", clock.nsecsElapsed() / 1e9, processorSeconds() - processorBefore);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 4 || (arguments[1] != u"model"_s && arguments[1] != u"ffmpeg"_s)) {
        std::fprintf(stderr,
            "usage: batch_benchmark model|ffmpeg <output folder> copy=<movie>|encode=<movie>...\n");
        return 2;
    }
    QList<Movie> movies;
    for (const QString& argument : arguments.mid(3)) {
        const bool copy = argument.startsWith(u"copy="_s);
        if (!copy && !argument.startsWith(u"encode="_s)) {
            std::fprintf(stderr, "batch_benchmark: %s is not copy=<movie> or encode=<movie>\n",
                qPrintable(argument));
            return 2;
        }
        movies.append({ copy, argument.section(u'=', 1) });
    }
    return arguments[1] == u"model"_s ? runModel(arguments[2], movies)
                                       : runFfmpeg(arguments[2], movies);
}
