// The model's state without a batch: adding files, the pickers, the direct
// changes and output naming.
#include "AppModel.h"
#include "Converter.h"
#include "FakePicker.h"
#include "FileUrls.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QUrl file(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

QStringList names(const AppModel& model)
{
    QStringList result;
    for (const QueueItem& item : model.items()->items())
        result.append(item.url.fileName());
    return result;
}

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile created(path);
    QVERIFY(created.open(QIODevice::WriteOnly));
}

// Root reads every folder. With the file-system user id of "nobody", this
// thread, and the threads it starts meanwhile, obey the permissions.
class ReadingAsNobody
{
public:
    ReadingAsNobody()
    {
        if (::geteuid() == 0)
            ::setfsuid(65534);
    }
    ~ReadingAsNobody()
    {
        if (::geteuid() == 0)
            ::setfsuid(0);
    }
};

} // namespace

class AppModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsEmpty();
    void addsMoviesInAnyLetterCase();
    void refusesOtherKindsWithNotice_data();
    void refusesOtherKindsWithNotice();
    void keepsNoticeAndIgnoresEmptyAdd();
    void dropsDuplicates();
    void addsTheMoviesInsideFolders();
    void removesAndClears();
    void usesPickerAnswers();
    void namesOutputs_data();
    void namesOutputs();
    void addsTenThousandFilesAsRows();
};

void AppModelTest::startsEmpty()
{
    AppModel model;
    QCOMPARE(model.items()->count(), 0);
    QVERIFY(!model.running());
    QVERIFY(model.destination().isEmpty());
    QVERIFY(model.notice().isNull());
    QVERIFY(!model.hasPending());
    QVERIFY(!model.converter().isCancelled());

    const QueueItem first = QueueItem::forUrl(file(u"/m/a.mov"_s));
    const QueueItem again = QueueItem::forUrl(file(u"/m/a.mov"_s));
    QCOMPARE(first.progress, 0.0);
    QCOMPARE(first.status, u"Ready"_s);
    QVERIFY(!first.hasOutput());
    QVERIFY(!first.failed);
    QVERIFY(first.id != again.id);
}

void AppModelTest::addsMoviesInAnyLetterCase()
{
    AppModel model;
    QAbstractItemModelTester tester(model.items());
    QSignalSpy inserted(model.items(), &QAbstractItemModel::rowsInserted);
    QSignalSpy count(model.items(), &QueueList::countChanged);
    QSignalSpy pending(&model, &AppModel::hasPendingChanged);

    model.add({ file(u"/m/a.mov"_s), file(u"/m/b.MOV"_s), file(u"/m/c.Mov"_s) });

    QCOMPARE(names(model), QStringList({ u"a.mov"_s, u"b.MOV"_s, u"c.Mov"_s }));
    QCOMPARE(inserted.size(), 3); // one insertion per item
    QCOMPARE(count.size(), 3);
    QCOMPARE(pending.size(), 1);
    QVERIFY(model.hasPending());
    QVERIFY(model.notice().isNull());
    const QModelIndex first = model.items()->index(0);
    QCOMPARE(first.data(QueueList::FileNameRole).toString(), u"a.mov"_s);
    QCOMPARE(first.data(QueueList::StatusRole).toString(), u"Ready"_s);
    QCOMPARE(first.data(QueueList::UrlRole).toUrl(), file(u"/m/a.mov"_s));
    QCOMPARE(first.data(QueueList::IdRole).toString(),
        model.items()->at(0).id.toString(QUuid::WithoutBraces));
}

void AppModelTest::refusesOtherKindsWithNotice_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::newRow("MP4") << file(u"/m/clip.mp4"_s);
    QTest::newRow("no extension") << file(u"/m/clip"_s);
    QTest::newRow(".mov.zip") << file(u"/m/clip.mov.zip"_s);
    QTest::newRow("hidden name only") << file(u"/m/.mov"_s);
    QTest::newRow("not a local file") << QUrl(u"https://example.org/clip.mov"_s);
}

void AppModelTest::refusesOtherKindsWithNotice()
{
    QFETCH(QUrl, url);
    AppModel model;
    QSignalSpy notice(&model, &AppModel::noticeChanged);

    model.add({ url, file(u"/m/d.mov"_s), url });

    QCOMPARE(model.notice(), u"Please choose QuickTime .mov files."_s);
    QCOMPARE(notice.size(), 1);
    QCOMPARE(names(model), QStringList { u"d.mov"_s });
}

void AppModelTest::keepsNoticeAndIgnoresEmptyAdd()
{
    AppModel model;
    model.add({ file(u"/m/clip.mp4"_s) });
    QSignalSpy notice(&model, &AppModel::noticeChanged);
    QSignalSpy inserted(model.items(), &QAbstractItemModel::rowsInserted);

    model.add({});
    model.add({ file(u"/m/good.mov"_s) });

    QCOMPARE(model.notice(), u"Please choose QuickTime .mov files."_s);
    QCOMPARE(notice.size(), 0);
    QCOMPARE(inserted.size(), 1);
}

void AppModelTest::dropsDuplicates()
{
    AppModel model;
    model.add({ file(u"/m/a.mov"_s), file(u"/m/a.mov"_s) });
    model.add({ file(u"/m/a.mov"_s) });
    // Plain URL equality: another spelling or letter case is another URL.
    model.add({ file(u"/m/A.mov"_s), file(u"/m/./a.mov"_s) });

    QCOMPARE(names(model), QStringList({ u"a.mov"_s, u"A.mov"_s, u"a.mov"_s }));
    QVERIFY(model.notice().isNull());

    // Once removed, the file can be queued again.
    model.remove(model.items()->at(0).id.toString());
    model.add({ file(u"/m/a.mov"_s) });
    QCOMPARE(model.items()->count(), 3);
    QCOMPARE(model.items()->items().constLast().url, file(u"/m/a.mov"_s));
}

void AppModelTest::addsTheMoviesInsideFolders()
{
    QTemporaryDir root;
    const QString card = root.filePath(u"Card"_s);
    for (const QString& name : { u"Clip 10.mov"_s, u"Clip 2.mov"_s, u"clip 3.MOV"_s,
             u"Clip 2.XML"_s, u".hidden.mov"_s, u".Trashes/Old.mov"_s, u"Day 10/Take 1.mov"_s,
             u"Day 10/Take 1.THM"_s, u"Day 10/deep/z.mov"_s, u"day 2/Take 1.mov"_s,
             u"locked/Lost.mov"_s, u"Sidecars only/Clip.XML"_s })
        touch(card + u'/' + name);
    touch(root.filePath(u"a.mov"_s));
    touch(root.filePath(u"Notes/sub/notes.txt"_s));
    QVERIFY(QFile::link(card, card + u"/loop"_s));
    QVERIFY(QFile::link(card + u"/day 2"_s, card + u"/folder.mov"_s));
    QVERIFY(QFile::link(card + u"/Clip 2.mov"_s, card + u"/link.mov"_s));
    ::chmod(QFile::encodeName(root.path()).constData(), 0755);
    QFile::setPermissions(card + u"/locked"_s, {});
    const auto unlock = qScopeGuard([&] {
        QFile::setPermissions(
            card + u"/locked"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    const ReadingAsNobody nobody;
    QVERIFY2(::open(QFile::encodeName(card + u"/locked"_s).constData(), O_RDONLY | O_DIRECTORY) < 0,
        "a folder that cannot be read");
    AppModel model;
    QSignalSpy notice(&model, &AppModel::noticeChanged);
    // A folder's movies take its place in the list; what follows waits for them.
    model.add({ file(root.filePath(u"a.mov"_s)), file(card) });
    model.add({ file(root.filePath(u"z.mov"_s)) });
    QCOMPARE(names(model), QStringList { u"a.mov"_s });
    const QStringList expected { u"a.mov"_s, u"Card/Clip 2.mov"_s, u"Card/clip 3.MOV"_s,
        u"Card/Clip 10.mov"_s, u"Card/link.mov"_s, u"Card/day 2/Take 1.mov"_s,
        u"Card/Day 10/Take 1.mov"_s, u"Card/Day 10/deep/z.mov"_s, u"z.mov"_s };
    const auto queued = [&] {
        QStringList paths;
        for (const QueueItem& item : model.items()->items())
            paths.append(QDir(root.path()).relativeFilePath(item.url.toLocalFile()));
        return paths;
    };
    QTRY_COMPARE(queued(), expected);
    QCOMPARE(notice.size(), 0); // sidecar files pass silently

    // Queued already: nothing more, and no notice. A tree without any movie: the notice.
    model.add({ file(card + u'/'), file(root.filePath(u"Notes"_s)) });
    QTRY_COMPARE(model.notice(), u"Please choose QuickTime .mov files."_s);
    QCOMPARE(queued(), expected);

    // Cleared while a folder is read: neither its movies nor what waits for
    // them arrive afterwards.
    model.clear();
    model.add({ file(card), file(root.filePath(u"z.mov"_s)) });
    model.clear();
    QTest::qWait(300);
    QCOMPARE(queued(), QStringList());
}

void AppModelTest::removesAndClears()
{
    AppModel model;
    QAbstractItemModelTester tester(model.items());
    model.add({ file(u"/m/a.mov"_s), file(u"/m/b.mov"_s), file(u"/m/c.mov"_s), file(u"/m/x.mp4"_s) });
    const QString middle = model.items()->at(1).id.toString(QUuid::WithoutBraces);

    model.remove(QUuid::createUuid().toString());
    QCOMPARE(model.items()->count(), 3);

    QSignalSpy removed(model.items(), &QAbstractItemModel::rowsRemoved);
    model.remove(middle);
    QCOMPARE(names(model), QStringList({ u"a.mov"_s, u"c.mov"_s }));
    QCOMPARE(removed.size(), 1);
    QCOMPARE(model.items()->rowOf(model.items()->at(1).id), 1); // rows renumbered

    QSignalSpy reset(model.items(), &QAbstractItemModel::modelReset);
    model.clear();
    QCOMPARE(model.items()->count(), 0);
    QCOMPARE(reset.size(), 1);
    QVERIFY(!model.hasPending());
    QCOMPARE(model.notice(), u"Please choose QuickTime .mov files."_s); // untouched
}

void AppModelTest::usesPickerAnswers()
{
    auto picker = std::make_shared<FakePicker>();
    AppModel model(picker);
    model.add({ file(u"/m/x.mp4"_s) }); // a notice the pickers must leave alone

    picker->movies = std::nullopt;
    model.browse();
    QCOMPARE(model.items()->count(), 0);

    picker->movies = QList<QUrl> {};
    model.browse();
    QCOMPARE(model.items()->count(), 0);

    picker->movies = QList<QUrl> { file(u"/m/a.mov"_s), file(u"/m/CLIP.MOV"_s) };
    model.browse();
    QCOMPARE(names(model), QStringList({ u"a.mov"_s, u"CLIP.MOV"_s }));
    QCOMPARE(picker->moviePanels, 3);
    QCOMPARE(model.notice(), u"Please choose QuickTime .mov files."_s);

    QSignalSpy destination(&model, &AppModel::destinationChanged);
    picker->folder = QList<QUrl> { file(u"/exports"_s) };
    model.chooseFolder();
    QCOMPARE(model.destination(), file(u"/exports"_s));
    picker->folder = std::nullopt;
    model.chooseFolder();
    QCOMPARE(model.destination(), file(u"/exports"_s)); // cancelled: kept
    picker->folder = QList<QUrl> { file(u"/other"_s) };
    model.chooseFolder();
    QCOMPARE(model.destination(), file(u"/other"_s));
    picker->folder = QList<QUrl> {};
    model.chooseFolder();
    QVERIFY(model.destination().isEmpty()); // confirmed without a folder: absent
    QCOMPARE(destination.size(), 3);

    model.chooseFolder();
    model.resetDestination();
    QCOMPARE(destination.size(), 3);
}

void AppModelTest::namesOutputs_data()
{
    // Paths under a scratch folder; an MP4 expected in Exports/ goes to the
    // chosen destination. A taken name ending in "/" is a folder, in "@" a
    // dangling link, else a file.
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArrayList>("taken");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray a251 = "Movies/" + QByteArray(251, 'a'), a249 = QByteArray(249, 'a');
    const QByteArray e125 = QByteArray("\xc3\xa9").repeated(125); // 250 bytes of "é"

    QTest::newRow("beside the source")
        << "Movies/Trip.mov"_ba << QByteArrayList {} << "Movies/Trip.mp4"_ba;
    QTest::newRow("extension in any case")
        << "Movies/Clip.MOV"_ba << QByteArrayList {} << "Movies/Clip.mp4"_ba;
    QTest::newRow("only the last extension")
        << "Movies/Trip.final.mov"_ba << QByteArrayList {} << "Movies/Trip.final.mp4"_ba;
    QTest::newRow("gaps are not filled first")
        << "Movies/Trip.mov"_ba << QByteArrayList { "Movies/Trip-2.mp4" } << "Movies/Trip.mp4"_ba;
    QTest::newRow("the next free number")
        << "Movies/Trip.mov"_ba << QByteArrayList { "Movies/Trip-2.mp4", "Movies/Trip.mp4" }
        << "Movies/Trip-3.mp4"_ba;
    QTest::newRow("destination, whatever the source's folder holds")
        << "Movies/Trip.mov"_ba << QByteArrayList { "Movies/Trip.mp4" } << "Exports/Trip.mp4"_ba;
    QTest::newRow("a folder and a dangling link are taken")
        << "Movies/Trip.mov"_ba << QByteArrayList { "Exports/Trip.mp4/", "Exports/Trip-2.mp4@" }
        << "Exports/Trip-3.mp4"_ba;
    QTest::newRow("bytes kept, compared as bytes, not as shown")
        << "Movies/Caf\xe9.mov"_ba << QByteArrayList { "Movies/Caf\xef\xbf\xbd.mp4" }
        << "Movies/Caf\xe9.mp4"_ba;
    QTest::newRow("broken bytes kept in the destination")
        << "Movies/\xff\xfe \xc3.mov"_ba << QByteArrayList {} << "Exports/\xff\xfe \xc3.mp4"_ba;
    QTest::newRow("255 bytes fit") << a251 + ".mov" << QByteArrayList {} << a251 + ".mp4";
    QTest::newRow("shortened so that -2 fits")
        << a251 + ".mov" << QByteArrayList { a251 + ".mp4" } << "Movies/" + a249 + "-2.mp4";
    QTest::newRow("each suffix shortens anew, in the destination")
        << a251 + ".mov"
        << QByteArrayList { "Exports/" + a251.sliced(7) + ".mp4", "Exports/" + a249 + "-2.mp4" }
        << "Exports/" + a249 + "-3.mp4";
    QTest::newRow("never inside a character")
        << "Movies/" + e125 + "a.mov" << QByteArrayList { "Movies/" + e125 + "a.mp4" }
        << "Movies/" + e125.left(248) + "-2.mp4";
}

void AppModelTest::namesOutputs()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArrayList, taken);
    QFETCH(QByteArray, expected);
    QTemporaryDir root;
    const QByteArray folder = QFile::encodeName(root.path()) + '/';
    QDir(root.path()).mkpath(u"Movies"_s);
    QDir(root.path()).mkpath(u"Exports"_s);
    for (const QByteArray& name : std::as_const(taken)) {
        const QByteArray path = folder + name;
        if (name.endsWith('/'))
            QCOMPARE(::mkdir(path.constData(), 0755), 0);
        else if (name.endsWith('@'))
            QCOMPARE(::symlink("nowhere", path.chopped(1).constData()), 0);
        else
            QCOMPARE(::close(::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644)), 0);
    }
    auto picker = std::make_shared<FakePicker>();
    picker->folder = QList<QUrl> { fileUrls::fromPath(folder + "Exports") };
    AppModel model(picker);
    if (expected.startsWith("Exports/"))
        model.chooseFolder();

    QCOMPARE(
        fileUrls::path(model.outputURL(fileUrls::fromPath(folder + source))), folder + expected);
}

void AppModelTest::addsTenThousandFilesAsRows()
{
    AppModel model;
    QList<QUrl> urls;
    for (int i = 0; i < 10000; ++i)
        urls.append(file(u"/m/clip-%1.mov"_s.arg(i)));
    QSignalSpy inserted(model.items(), &QAbstractItemModel::rowsInserted);
    model.add(urls);
    model.add(urls);
    QCOMPARE(model.items()->count(), 10000);
    QCOMPARE(inserted.size(), 10000);
    QCOMPARE(model.items()->rowOf(model.items()->at(9999).id), 9999);
}

QTEST_GUILESS_MAIN(AppModelTest)
#include "tst_appmodel.moc"
