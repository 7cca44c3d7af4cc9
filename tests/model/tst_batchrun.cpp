// Batches of real conversions through the model: item states, names, notices,
// copies side by side and encodes alone, cancellation, and a model destroyed
// in the middle of a conversion.
#include "AppModel.h"
#include "Converter.h"
#include "FakePicker.h"
#include "FakeTools.h"
#include "Movies.h"
#include "Processes.h"
#include "Scratch.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QUrl file(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

// Every change of each row, in order, as "role=value".
class ChangeLog : public QObject
{
public:
    explicit ChangeLog(QueueList* list) : m_list(list)
    {
        connect(list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& top, const QModelIndex& bottom, const QList<int>& roles) {
                QCOMPARE(top, bottom); // one row at a time
                QCOMPARE(roles.size(), 1); // one field at a time
                const QString value = top.data(roles.first()).toString();
                const QByteArray role = m_list->roleNames().value(roles.first());
                changes[top.row()].append(
                    QString::fromLatin1(role) + u'=' + value);
            });
    }
    QHash<int, QStringList> changes; // by row

private:
    QueueList* m_list;
};

// Which rows convert together, from each row's turn ("Reading video…") to its
// outcome, and the most ffmpeg children seen at once, polled meanwhile.
class Overlaps : public QObject
{
public:
    explicit Overlaps(QueueList* list)
    {
        connect(list, &QAbstractItemModel::dataChanged, this,
            [this, list](const QModelIndex& index, const QModelIndex&, const QList<int>& roles) {
                const QueueItem& item = list->at(index.row());
                if (roles.contains(QueueList::StatusRole) && item.status == u"Reading video…"_s) {
                    turns.append(index.row());
                    converting.insert(index.row());
                } else if (item.hasOutput() || item.failed) {
                    converting.remove(index.row());
                }
                mostAtOnce = std::max(mostAtOnce, int(converting.size()));
                for (const int row : std::as_const(converting))
                    together[row] += converting;
            });
        connect(&m_poll, &QTimer::timeout, this, [this] {
            const int running = int(childProcesses(::getpid(), "ffmpeg").size());
            mostFfmpegs = std::max(mostFfmpegs, running);
            for (const int row : std::as_const(converting))
                ffmpegsBeside[row] = std::max(ffmpegsBeside[row], running);
        });
        m_poll.start(5);
    }

    QList<int> turns; // rows in the order their turns began
    QSet<int> converting;
    QHash<int, QSet<int>> together; // each row: every row seen converting with it
    QHash<int, int> ffmpegsBeside; // each row: the most ffmpegs seen during its turn
    int mostAtOnce = 0;
    int mostFfmpegs = 0;

private:
    QTimer m_poll;
};

const QueueItem& item(const AppModel& model, int row)
{
    return model.items()->at(row);
}

void waitForBatch(const AppModel& model, int timeout = 120000)
{
    QTRY_VERIFY_WITH_TIMEOUT(!model.running(), timeout);
}

} // namespace

class BatchRunTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convertsQueueIntoDestination();
    void reusesNameOfFailedItem();
    void continuesAfterFailure();
    void startsWithNothingToDo();
    void ignoresStartWhileRunning();
    void cancelsBetweenItems();
    void destroyingModelStopsConversion();
    void reportsProgressAsSingleRowChanges();
    void copiesSideBySideInQueueOrder();
    void encodesAloneAndReportsInspectionAtTurn();
    void keepsNamesDistinctAcrossWindows();
    void cancelStopsEveryParallelCopy();
    void pausesWhereItIs_data();
    void pausesWhereItIs();
};

void BatchRunTest::convertsQueueIntoDestination()
{
    const Scratch scratch;
    QDir(scratch.folder()).mkpath(u"A"_s);
    QDir(scratch.folder()).mkpath(u"B"_s);
    QDir(scratch.folder()).mkpath(u"Exports"_s);
    movies::copyTo(movies::h264(), scratch.path(u"A/Trip.mov"_s));
    movies::copyTo(movies::prores(), scratch.path(u"B/Trip.mov"_s));
    const QDateTime recorded = QDateTime::fromSecsSinceEpoch(1688300000).addMSecs(250);
    for (const QString& movie : { u"A/Trip.mov"_s, u"B/Trip.mov"_s }) {
        QFile file(scratch.path(movie));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.setFileTime(recorded, QFile::FileModificationTime));
    }
    AppModel model;
    auto picker = std::make_shared<FakePicker>();
    picker->folder = QList<QUrl> { file(scratch.path(u"Exports"_s)) };
    AppModel exporting(picker);
    QAbstractItemModelTester tester(exporting.items());
    const ChangeLog exportLog(exporting.items());
    exporting.chooseFolder();
    for (AppModel* each : { &model, &exporting }) {
        each->add({ file(scratch.path(u"A/Trip.mov"_s)), file(scratch.path(u"B/Trip.mov"_s)),
            file(scratch.path(u"clip.mp4"_s)) });
        QVERIFY(!each->notice().isNull());
    }
    QSignalSpy running(&model, &AppModel::runningChanged);
    QSignalSpy exportRunning(&exporting, &AppModel::runningChanged);

    exporting.start();
    QVERIFY(exporting.running()); // at once, before any conversion
    QVERIFY(exporting.notice().isNull());
    QCOMPARE(item(exporting, 0).status, u"Ready"_s); // the batch itself is a later job
    waitForBatch(exporting);

    QCOMPARE(exportRunning.size(), 2);
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(item(exporting, row).status, u"Done"_s);
        QCOMPARE(item(exporting, row).progress, 1.0);
        QVERIFY(!item(exporting, row).failed);
    }
    QCOMPARE(item(exporting, 0).output, file(scratch.path(u"Exports/Trip.mp4"_s)));
    QCOMPARE(item(exporting, 1).output, file(scratch.path(u"Exports/Trip-2.mp4"_s)));
    QVERIFY(!exporting.hasPending());
    QCOMPARE(QDir(scratch.path(u"Exports"_s)).entryList(QDir::Files | QDir::Hidden),
        QStringList({ u"Trip-2.mp4"_s, u"Trip.mp4"_s }));
    for (const QString& written : { u"Exports/Trip.mp4"_s, u"Exports/Trip-2.mp4"_s })
        QCOMPARE(QFileInfo(scratch.path(written)).lastModified(), recorded);
    QCOMPARE(movies::stream(movies::probe(scratch.path(u"Exports/Trip-2.mp4"_s)), u"video"_s)
                 .value(u"width"_s)
                 .toInt(),
        320);

    // Each item: its turn, then the converter's reports, and the outcome last.
    const QStringList copy = exportLog.changes.value(0);
    QCOMPARE(copy.mid(0, 2), QStringList({ u"status=Reading video…"_s, u"status=Copying compatible video"_s }));
    const QStringList encode = exportLog.changes.value(1);
    QCOMPARE(encode.mid(0, 2), QStringList({ u"status=Reading video…"_s, u"status=Encoding H.264 video"_s }));
    QCOMPARE(encode.mid(encode.size() - 3),
        QStringList({ u"progress=1"_s, u"status=Done"_s,
            u"output=%1"_s.arg(file(scratch.path(u"Exports/Trip-2.mp4"_s)).toString()) }));

    // Without a destination each MP4 goes beside its source.
    model.start();
    waitForBatch(model);
    QCOMPARE(item(model, 0).output, file(scratch.path(u"A/Trip.mp4"_s)));
    QCOMPARE(item(model, 1).output, file(scratch.path(u"B/Trip.mp4"_s)));
    QCOMPARE(running.size(), 2);
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void BatchRunTest::reusesNameOfFailedItem()
{
    const Scratch scratch;
    QDir(scratch.folder()).mkpath(u"A"_s);
    QDir(scratch.folder()).mkpath(u"B"_s);
    {
        QFile broken(scratch.path(u"A/Trip.mov"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a movie");
    }
    movies::copyTo(movies::h264(), scratch.path(u"B/Trip.mov"_s));
    QDir(scratch.folder()).mkpath(u"Out"_s);
    auto picker = std::make_shared<FakePicker>();
    picker->folder = QList<QUrl> { file(scratch.path(u"Out"_s)) };
    AppModel model(picker);
    model.chooseFolder();
    model.add({ file(scratch.path(u"A/Trip.mov"_s)), file(scratch.path(u"B/Trip.mov"_s)) });

    model.start();
    waitForBatch(model);

    QVERIFY(item(model, 0).failed);
    QVERIFY(!item(model, 0).hasOutput());
    QCOMPARE(item(model, 1).output, file(scratch.path(u"Out/Trip.mp4"_s)));
}

void BatchRunTest::continuesAfterFailure()
{
    const Scratch scratch;
    FakeTools tools;
    // An ffprobe that fails for the second movie only, and an ffmpeg that
    // fails with a chosen message for the third.
    tools.write(u"ffprobe"_s,
        u"case \"$9\" in *second.mov) exit 1;; esac\nprintf '%1'"_s.arg(
            videoReport(u"h264"_s, u"yuv420p"_s, u"bt709"_s, u"2"_s)));
    tools.writeFfmpeg(
        u"case \"$9\" in *third.mov) printf 'Invalid data found when processing input\\n' >&2; exit 1;; esac\n"
        u"printf 'out_time_us=1000000\\n'"_s);
    AppModel model({}, std::make_shared<Converter>(tools.folders()));
    QList<QUrl> inputs;
    for (const QString& name : { u"first.mov"_s, u"second.mov"_s, u"third.mov"_s, u"fourth.mov"_s })
        inputs.append(file(tools.movie(name)));
    model.add(inputs);
    // What the batch publishes of itself, as each report comes.
    const BatchRun* batch = model.batch();
    QList<double> fractions;
    QList<int> finished;
    connect(batch, &BatchRun::progressed, this, [&] {
        fractions.append(batch->fraction());
        finished.append(batch->finished());
    });
    QSignalSpy ended(batch, &BatchRun::ended);

    model.start();
    QCOMPARE(batch->taken(), 4);
    waitForBatch(model);

    QCOMPARE(item(model, 0).status, u"Done"_s);
    QCOMPARE(item(model, 1).status,
        u"Could not read a video track. Check that the MOV is complete and playable."_s);
    QVERIFY(item(model, 1).failed);
    QCOMPARE(item(model, 1).progress, 0.0);
    QCOMPARE(item(model, 2).status, u"Conversion failed: Invalid data found when processing input\n"_s);
    QVERIFY(item(model, 2).failed);
    QCOMPARE(item(model, 2).progress, 0.0);
    QCOMPARE(item(model, 3).status, u"Done"_s);
    QVERIFY(model.hasPending());
    QCOMPARE(finished.constLast(), 4);
    QCOMPARE(batch->failed(), 2);
    QCOMPARE(batch->left(), 0);
    QCOMPARE(fractions.constLast(), 1.0);
    QVERIFY(std::is_sorted(fractions.cbegin(), fractions.cend()));
    QVERIFY(std::is_sorted(finished.cbegin(), finished.cend()));
    QCOMPARE(ended.size(), 1);
    const auto outcome = ended.constFirst().constFirst().value<BatchRun::Outcome>();
    QCOMPARE(outcome.converted, 2);
    QCOMPARE(outcome.failed, 2);
    QVERIFY(!outcome.cancelled);

    // A second batch leaves done items alone and tries the failed ones again.
    QSignalSpy started(model.items(), &QAbstractItemModel::dataChanged);
    tools.write(u"ffprobe"_s, u"printf '%1'"_s.arg(videoReport(u"h264"_s, u"yuv420p"_s, u""_s, u"2"_s)));
    model.start();
    QCOMPARE(batch->taken(), 2);
    QCOMPARE(batch->finished(), 0);
    waitForBatch(model);
    QCOMPARE(batch->finished(), 2);
    QCOMPARE(batch->failed(), 1);
    QCOMPARE(item(model, 0).output, file(tools.path(u"first.mp4"_s)));
    QCOMPARE(item(model, 1).status, u"Done"_s);
    QCOMPARE(item(model, 1).output, file(tools.path(u"second.mp4"_s)));
    QVERIFY(!item(model, 1).failed);
    QVERIFY(item(model, 2).failed);
    for (const QList<QVariant>& change : started)
        QVERIFY(change.at(0).toModelIndex().row() == 1 || change.at(0).toModelIndex().row() == 2);

    // Removing a done item while a failed one still waits: hasPending must not
    // flicker to false on the way.
    QSignalSpy pending(&model, &AppModel::hasPendingChanged);
    model.remove(item(model, 0).id.toString());
    QCOMPARE(pending.size(), 0);
    QVERIFY(model.hasPending());
    model.remove(item(model, 1).id.toString()); // the failed one
    QCOMPARE(pending.size(), 1);
    QVERIFY(!model.hasPending());
}

void BatchRunTest::startsWithNothingToDo()
{
    AppModel model;
    model.add({ file(u"/m/x.mp4"_s) });
    QSignalSpy running(&model, &AppModel::runningChanged);

    model.start();

    QVERIFY(model.running());
    QVERIFY(model.notice().isNull());
    waitForBatch(model);
    QCOMPARE(running.size(), 2);
}

void BatchRunTest::ignoresStartWhileRunning()
{
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(videoReport(u"h264"_s, u"yuv420p"_s, u""_s, u"2"_s));
    tools.writeFfmpeg(u"sleep 0.5"_s);
    AppModel model({}, std::make_shared<Converter>(tools.folders()));
    model.add({ file(tools.movie(u"a.mov"_s)) });

    model.start();
    model.add({ file(tools.movie(u"late.mov"_s)), file(scratch.path(u"refused.txt"_s)) });
    QSignalSpy anything(&model, &AppModel::noticeChanged);
    QSignalSpy running(&model, &AppModel::runningChanged);
    model.start();
    QCOMPARE(anything.size(), 0);
    QCOMPARE(running.size(), 0);
    waitForBatch(model);

    QCOMPARE(item(model, 0).status, u"Done"_s);
    // Added during the batch: not part of it. Refused during it: the notice stays.
    QCOMPARE(item(model, 1).status, u"Ready"_s);
    QCOMPARE(model.notice(), u"Please choose QuickTime .mov files."_s);
}

void BatchRunTest::cancelsBetweenItems()
{
    const Scratch scratch;
    movies::copyTo(movies::h264(), scratch.path(u"first.mov"_s));
    movies::copyTo(movies::slowEncode(), scratch.path(u"second.mov"_s));
    movies::copyTo(movies::h264(), scratch.path(u"third.mov"_s));
    AppModel model;
    QAbstractItemModelTester tester(model.items());
    model.add({ file(scratch.path(u"first.mov"_s)), file(scratch.path(u"second.mov"_s)),
        file(scratch.path(u"third.mov"_s)) });

    model.start();
    QTRY_VERIFY_WITH_TIMEOUT(item(model, 1).progress > 0, 120000);
    model.cancel();
    waitForBatch(model);

    QCOMPARE(item(model, 0).status, u"Done"_s);
    QCOMPARE(item(model, 1).status, u"Cancelled"_s);
    QVERIFY(item(model, 1).failed);
    QVERIFY(item(model, 1).progress > 0); // kept where it stopped
    QCOMPARE(item(model, 2).status, u"Ready"_s);
    QCOMPARE(item(model, 2).progress, 0.0);
    QVERIFY(model.batch()->outcome().cancelled);
    QCOMPARE(model.batch()->left(), 1);
    QCOMPARE(model.batch()->converted(), 1);
    QCOMPARE(model.batch()->failed(), 0); // a cancelled movie did not fail
    QVERIFY(model.converter().isCancelled()); // until the next start
    QCOMPARE(QDir(scratch.folder()).entryList(QDir::Files | QDir::Hidden).filter(u".mp4"_s),
        QStringList { u"first.mp4"_s });

    model.start();
    QVERIFY(!model.converter().isCancelled());
    waitForBatch(model, 300000);
    QCOMPARE(item(model, 1).output, file(scratch.path(u"second.mp4"_s)));
    QCOMPARE(item(model, 2).output, file(scratch.path(u"third.mp4"_s)));
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void BatchRunTest::destroyingModelStopsConversion()
{
    const Scratch scratch;
    movies::copyTo(movies::slowEncode(), scratch.path(u"slow.mov"_s));
    auto model = std::make_unique<AppModel>();
    model->add({ file(scratch.path(u"slow.mov"_s)) });
    model->start();
    QTRY_VERIFY_WITH_TIMEOUT(item(*model, 0).progress > 0, 120000);
    QCOMPARE(childProcesses(::getpid(), "ffmpeg").size(), 1);

    model.reset();

    QCOMPARE(childProcesses(::getpid(), "ffmpeg").size(), 0);
    QCOMPARE(scratch.files(), QStringList { u"slow.mov"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
    QTest::qWait(50); // posted reports for the gone model must be dropped, not run
}

void BatchRunTest::reportsProgressAsSingleRowChanges()
{
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(videoReport(u"h264"_s, u"yuv420p"_s, u""_s, u"4"_s));
    tools.writeFfmpeg(u"printf 'out_time_us=1000000\\nout_time_us=2000000\\nout_time_us=3000000\\n'"_s);
    AppModel model({}, std::make_shared<Converter>(tools.folders()));
    model.add({ file(tools.movie(u"a.mov"_s)), file(tools.movie(u"b.mov"_s)) });
    const ChangeLog log(model.items());

    model.start();
    waitForBatch(model);

    QCOMPARE(log.changes.value(0),
        QStringList({ u"status=Reading video…"_s, u"status=Copying compatible video"_s,
            u"progress=0.25"_s, u"progress=0.5"_s, u"progress=0.75"_s, u"progress=1"_s,
            u"status=Done"_s, u"output=%1"_s.arg(file(tools.path(u"a.mp4"_s)).toString()) }));
}

void BatchRunTest::copiesSideBySideInQueueOrder()
{
    if (BatchRun::copyLanes() < 2)
        QSKIP("one processor: copies run one at a time");
    const Scratch scratch;
    for (const QString& folder : { u"A"_s, u"B"_s, u"Out"_s })
        QDir(scratch.folder()).mkpath(folder);
    const QStringList sources { u"A/Trip.mov"_s, u"B/Trip.mov"_s, u"A/Beach.mov"_s, u"A/Hike.mov"_s };
    auto picker = std::make_shared<FakePicker>();
    picker->folder = QList<QUrl> { file(scratch.path(u"Out"_s)) };
    AppModel model(picker);
    model.chooseFolder();
    for (const QString& source : sources) {
        movies::copyTo(movies::longCopy(), scratch.path(source));
        model.add({ file(scratch.path(source)) });
    }
    QAbstractItemModelTester tester(model.items());
    const Overlaps overlaps(model.items());

    model.start();
    waitForBatch(model);

    QCOMPARE(overlaps.turns, QList<int>({ 0, 1, 2, 3 }));
    QVERIFY2(overlaps.mostAtOnce >= 2, "copies ran one at a time");
    QVERIFY(overlaps.mostAtOnce <= BatchRun::copyLanes());
    QVERIFY2(overlaps.mostFfmpegs >= 2, "never saw two ffmpegs at once");
    // The two Trips start together: names go in queue order, never the same.
    const QStringList outputs { u"Trip.mp4"_s, u"Trip-2.mp4"_s, u"Beach.mp4"_s, u"Hike.mp4"_s };
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(item(model, row).status, u"Done"_s);
        const QString output = scratch.path(u"Out/"_s + outputs.at(row));
        QCOMPARE(item(model, row).output, file(output));
        QCOMPARE(movies::videoCodec(output), u"h264"_s);
    }
    QCOMPARE(QDir(scratch.path(u"Out"_s)).entryList(QDir::Files | QDir::Hidden).size(), 4);
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void BatchRunTest::encodesAloneAndReportsInspectionAtTurn()
{
    const Scratch scratch;
    movies::copyTo(movies::longCopy(), scratch.path(u"first.mov"_s));
    movies::copyTo(movies::prores(), scratch.path(u"encoded.mov"_s));
    {
        QFile broken(scratch.path(u"broken.mov"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a movie");
    }
    movies::copyTo(movies::longCopy(), scratch.path(u"last.mov"_s));
    AppModel model;
    for (const QString& name : { u"first.mov"_s, u"encoded.mov"_s, u"broken.mov"_s, u"last.mov"_s })
        model.add({ file(scratch.path(name)) });
    const Overlaps overlaps(model.items());
    const ChangeLog log(model.items());
    QStringList statusesAtEncodeEnd;
    connect(model.items(), &QAbstractItemModel::dataChanged, this, [&] {
        if (statusesAtEncodeEnd.isEmpty() && item(model, 1).hasOutput()) {
            for (const QueueItem& each : model.items()->items())
                statusesAtEncodeEnd.append(each.status);
        }
    });

    model.start();
    waitForBatch(model);

    QCOMPARE(overlaps.turns, QList<int>({ 0, 1, 2, 3 }));
    QCOMPARE(overlaps.together.value(1), QSet<int> { 1 }); // the encode ran alone
    QCOMPARE(overlaps.ffmpegsBeside.value(1), 1);
    // Inspected long before, the broken movie still waits for its turn.
    QCOMPARE(statusesAtEncodeEnd.at(2), u"Ready"_s);
    QCOMPARE(log.changes.value(2),
        QStringList({ u"status=Reading video…"_s,
            u"status=This file is not a QuickTime movie, so it cannot be converted."_s,
            u"failed=true"_s }));
    for (const int row : { 0, 1, 3 })
        QCOMPARE(item(model, row).status, u"Done"_s);
    QCOMPARE(movies::videoCodec(scratch.path(u"encoded.mp4"_s)), u"h264"_s);
}

void BatchRunTest::keepsNamesDistinctAcrossWindows()
{
    const Scratch scratch;
    for (const QString& folder : { u"A"_s, u"B"_s, u"C"_s, u"Out"_s })
        QDir(scratch.folder()).mkpath(folder);
    auto picker = std::make_shared<FakePicker>();
    picker->folder = QList<QUrl> { file(scratch.path(u"Out"_s)) };
    AppModel first(picker);
    AppModel second(picker);
    for (AppModel* window : { &first, &second }) {
        const QString source = scratch.path(window == &first ? u"A/Trip.mov"_s : u"B/Trip.mov"_s);
        movies::copyTo(movies::longCopy(), source);
        window->chooseFolder();
        window->add({ file(source) });
    }
    // While a Trip converts, its name is taken for every window, though
    // nothing is written under it yet.
    QStringList seenWhileConverting;
    connect(first.items(), &QAbstractItemModel::dataChanged, this, [&] {
        if (seenWhileConverting.isEmpty() && item(first, 0).status == u"Copying compatible video"_s)
            seenWhileConverting.append(
                QFileInfo(second.outputURL(file(scratch.path(u"C/Trip.mov"_s))).toLocalFile()).fileName());
    });

    first.start();
    second.start();
    waitForBatch(first);
    waitForBatch(second);

    QCOMPARE(seenWhileConverting.size(), 1);
    QVERIFY(seenWhileConverting.first() != item(first, 0).output.fileName());
    const QSet<QString> outputs { item(first, 0).output.fileName(), item(second, 0).output.fileName() };
    QCOMPARE(outputs, QSet<QString>({ u"Trip.mp4"_s, u"Trip-2.mp4"_s }));
    QCOMPARE(item(first, 0).status, u"Done"_s);
    QCOMPARE(item(second, 0).status, u"Done"_s);
    // Ended conversions hold no name: the next is free again.
    QCOMPARE(first.outputURL(file(scratch.path(u"C/Trip.mov"_s))).fileName(), u"Trip-3.mp4"_s);
}

void BatchRunTest::cancelStopsEveryParallelCopy()
{
    const Scratch scratch;
    AppModel model;
    const int lanes = BatchRun::copyLanes();
    const int count = lanes + 2;
    for (int i = 0; i < count; ++i) {
        const QString source = scratch.path(u"clip-%1.mov"_s.arg(i));
        movies::copyTo(movies::longCopy(), source);
        model.add({ file(source) });
    }
    const Overlaps overlaps(model.items());

    model.start();
    QTRY_VERIFY_WITH_TIMEOUT(overlaps.converting.size() == lanes
            && item(model, lanes - 1).status == u"Copying compatible video"_s,
        60000);
    model.cancel();
    waitForBatch(model);

    for (int row = 0; row < count; ++row) {
        const bool wasRunning = row < lanes;
        QCOMPARE(item(model, row).status, wasRunning ? u"Cancelled"_s : u"Ready"_s);
        QCOMPARE(item(model, row).failed, wasRunning);
        if (!wasRunning)
            QCOMPARE(item(model, row).progress, 0.0);
    }
    QCOMPARE(childProcesses(::getpid(), "ffmpeg"), QList<pid_t>());
    QCOMPARE(childProcesses(::getpid(), "ffprobe"), QList<pid_t>());
    QCOMPARE(QDir(scratch.folder()).entryList(QDir::Files | QDir::Hidden).filter(u".mp4"_s), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void BatchRunTest::pausesWhereItIs_data()
{
    QTest::addColumn<bool>("resume");
    QTest::newRow("resumed") << true;
    QTest::newRow("cancelled while paused") << false;
}

// The batch's line runs on the test's clock: 10 s converting, then 10 min
// paused. Paused, the fraction stands still, so the pace after Resume is exact.
void BatchRunTest::pausesWhereItIs()
{
    QFETCH(bool, resume);
    const Scratch scratch;
    movies::copyTo(movies::slowEncode(), scratch.path(u"first.mov"_s));
    movies::copyTo(movies::h264(), scratch.path(u"second.mov"_s));
    AppModel model;
    model.add({ file(scratch.path(u"first.mov"_s)), file(scratch.path(u"second.mov"_s)) });
    qint64 now = 0;
    const BatchEstimate estimate(*model.batch(), [&now] { return now; });
    model.start();
    QTRY_VERIFY_WITH_TIMEOUT(item(model, 0).progress > 0.02, 120000);
    now = 10'000;
    model.pause();
    now = 610'000;
    QTest::qWait(300); // reports sent before the stop
    const double reached = item(model, 0).progress;
    QTest::qWait(1200);
    QCOMPARE(item(model, 0).progress, reached); // stopped: ffmpeg reports nothing
    QCOMPARE(item(model, 1).status, u"Ready"_s); // and nothing new starts
    QCOMPARE(estimate.text(), u"Paused · 0 of 2 done"_s);

    if (resume) {
        const double fraction = model.batch()->fraction();
        model.resume();
        QCOMPARE(estimate.text(),
            u"0 of 2 done · "_s + BatchEstimate::timeLeft(10 * (1 - fraction) / fraction));
        waitForBatch(model);
        QCOMPARE(model.batch()->converted(), 2);
    } else {
        // The stopped ffmpeg must be continued to see the interrupt, or this waits for ever.
        model.cancel();
        waitForBatch(model, 10000);
        QCOMPARE(item(model, 0).status, u"Cancelled"_s);
        QCOMPARE(scratch.files(), QStringList({ u"first.mov"_s, u"second.mov"_s }));
    }
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

QTEST_GUILESS_MAIN(BatchRunTest)
#include "tst_batchrun.moc"
