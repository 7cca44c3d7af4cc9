// Times opening a camera-card-like folder: 10,010 entries (110 folders, 2,000
// movies, the rest sidecar files) from add() to the last row queued, how long
// the event loop went without a turn meanwhile, and the reading of the tree
// alone against QDirIterator with a QFileInfo per entry. Prints medians.
#include "AppModel.h"
#include "Median.h"
#include "MovieFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// DCIM/Day N/Camera M: 10 x 10 folders, each with 20 movies and 79 other
// files, as cameras leave them (thumbnails, proxies, metadata, hidden files).
int makeCard(const QString& root)
{
    const char* sidecars[] = { ".THM", ".XML", ".LRV" };
    int entries = 0;
    for (int day = 1; day <= 10; ++day) {
        ++entries;
        for (int camera = 1; camera <= 10; ++camera) {
            const QString folder = root + u"/DCIM/Day %1/Camera %2"_s.arg(day).arg(camera);
            QDir().mkpath(folder);
            ++entries;
            for (int clip = 1; clip <= 20; ++clip) {
                const QString base = folder + u"/Clip %1"_s.arg(clip);
                QFile(base + u".MOV"_s).open(QIODevice::WriteOnly);
                for (const char* sidecar : sidecars)
                    QFile(base + QLatin1String(sidecar)).open(QIODevice::WriteOnly);
                entries += 4;
            }
            for (int hidden = 0; hidden < 19; ++hidden)
                QFile(folder + u"/._Clip %1.MOV"_s.arg(hidden)).open(QIODevice::WriteOnly);
            entries += 19;
        }
    }
    return entries;
}

struct AddTimes
{
    double queued = 0; // ms from add() until the last row is there
    double longestGap = 0; // ms: the longest the event loop went without a turn
    int rows = 0;
};

AddTimes addFolder(const QString& folder)
{
    AppModel model;
    AddTimes times;
    QElapsedTimer clock;
    qint64 lastTurn = 0;
    QTimer beat; // runs at every turn of the event loop
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        times.longestGap = std::max(times.longestGap, (now - lastTurn) / 1e6);
        lastTurn = now;
    });
    beat.start(0);
    clock.start();
    model.add({ QUrl::fromLocalFile(folder) });
    times.longestGap = clock.nsecsElapsed() / 1e6; // add() itself
    lastTurn = clock.nsecsElapsed();
    while (model.items()->count() < 2000)
        QCoreApplication::processEvents();
    times.queued = clock.nsecsElapsed() / 1e6;
    times.rows = model.items()->count();
    return times;
}

double readWithQDirIterator(const QString& folder)
{
    QElapsedTimer clock;
    clock.start();
    QStringList movies;
    QDirIterator it(
        folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isFile() && info.suffix().compare(u"mov"_s, Qt::CaseInsensitive) == 0)
            movies.append(info.filePath());
    }
    const double ms = clock.nsecsElapsed() / 1e6;
    if (movies.size() != 2000)
        std::fprintf(
            stderr, "QDirIterator found %lld movies\n", static_cast<long long>(movies.size()));
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = 7;
    QTemporaryDir card;
    const int entries = makeCard(card.path());
    const QString folder = card.filePath(u"DCIM"_s);

    std::vector<double> queued, gaps, reads, iterated;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        const AddTimes times = addFolder(folder);
        queued.push_back(times.queued);
        gaps.push_back(times.longestGap);
        rows = times.rows;
        QElapsedTimer clock;
        clock.start();
        const qsizetype found = movieFolders::moviesIn(QFile::encodeName(folder)).size();
        reads.push_back(clock.nsecsElapsed() / 1e6);
        if (found != 2000)
            std::fprintf(stderr, "moviesIn found %lld movies\n", static_cast<long long>(found));
        iterated.push_back(readWithQDirIterator(folder));
    }

    std::printf("a folder of %d entries, %d movies queued; median of %d runs, warm cache\n",
        entries, rows, runs);
    std::printf("  add() to the last row queued              %8.2f ms\n", median(queued));
    std::printf("  longest the event loop waited meanwhile   %8.2f ms\n", median(gaps));
    std::printf("  reading the tree (readdir)                %8.2f ms\n", median(reads));
    std::printf("  the same with QDirIterator and QFileInfo  %8.2f ms\n", median(iterated));
    return 0;
}
