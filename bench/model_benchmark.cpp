// Times the queue model: adding 10,000 files (in one call, and one call per
// file) and 100,000 progress reports travelling from a conversion through the
// model to the list's dataChanged signals. Prints medians of several runs.
#include "AppModel.h"
#include "Converter.h"
#include "Median.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double medianMilliseconds(int runs, const std::function<double()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run());
    return median(times);
}

QList<QUrl> manyUrls(int count)
{
    QList<QUrl> urls;
    urls.reserve(count);
    for (int i = 0; i < count; ++i)
        urls.append(QUrl::fromLocalFile(u"/Volumes/Footage/Day %1/clip-%2.mov"_s.arg(i / 100).arg(i)));
    return urls;
}

void writeScript(const QString& path, const QByteArray& body)
{
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\n" + body + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = 7;
    const QList<QUrl> urls = manyUrls(10000);

    const double oneCall = medianMilliseconds(runs, [&] {
        AppModel model;
        QElapsedTimer timer;
        timer.start();
        model.add(urls);
        return timer.nsecsElapsed() / 1e6;
    });
    const double callPerUrl = medianMilliseconds(runs, [&] {
        AppModel model;
        QElapsedTimer timer;
        timer.start();
        for (const QUrl& url : urls)
            model.add({ url });
        return timer.nsecsElapsed() / 1e6;
    });

    // A fake ffmpeg that writes 100,000 progress lines as fast as it can; the
    // real engine parses them and the model posts each one to its thread. The
    // duration keeps every fraction below the 0.99 cap, so each is a change.
    QTemporaryDir tools;
    const int reports = 100000;
    writeScript(tools.filePath(u"ffprobe"_s),
        R"(printf '{"streams":[{"codec_type":"video","codec_name":"h264","pix_fmt":"yuv420p"}],"format":{"duration":"200000"}}')");
    writeScript(tools.filePath(u"ffmpeg"_s),
        "for last in \"$@\"; do :; done\n"
        "awk 'BEGIN { for (i = 1; i <= " + QByteArray::number(reports) + "; i++) print \"out_time_us=\" i * 1000000 }'\n"
        "printf 'movie' > \"$last\"");
    QTemporaryDir outputs;
    std::size_t rowChanges = 0;
    const double progress = medianMilliseconds(runs, [&] {
        QFile::remove(outputs.filePath(u"clip.mp4"_s));
        AppModel model({}, std::make_shared<Converter>(std::vector<std::filesystem::path> {
                               tools.path().toStdString() }));
        model.add({ QUrl::fromLocalFile(outputs.filePath(u"clip.mov"_s)) });
        rowChanges = 0;
        QObject::connect(model.items(), &QAbstractItemModel::dataChanged,
            [&](const QModelIndex& top, const QModelIndex& bottom) { rowChanges += bottom.row() - top.row() + 1; });
        QElapsedTimer timer;
        timer.start();
        model.start();
        while (model.running())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return timer.nsecsElapsed() / 1e6;
    });

    std::printf("queue model, median of %d runs\n", runs);
    std::printf("  add 10,000 URLs in one call          %8.2f ms\n", oneCall);
    std::printf("  add 10,000 URLs, one call each       %8.2f ms\n", callPerUrl);
    std::printf("  100,000 progress reports end to end  %8.2f ms  (%.2f us per report, %zu row changes)\n",
        progress, progress * 1000 / reports, rowChanges);
    return 0;
}
