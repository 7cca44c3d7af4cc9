// The move that never replaces, on whatever the file system offers. CTest
// runs this twice: as it is, and with renameat2 and link failing as they do
// on exFAT and FAT through FUSE, so the placeholder path is covered too.
#include "Files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <system_error>
#include <unistd.h>

using namespace Qt::StringLiterals;

class FilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void movesWithoutReplacing_data();
    void movesWithoutReplacing();
};

void FilesTest::initTestCase()
{
    if (qEnvironmentVariableIsSet("BRAMBLECREST_EXPECT_NO_HARD_LINKS")) {
        // Proof that the seam is in force, or this run would test nothing new.
        QCOMPARE(::link("/nonexistent-a", "/nonexistent-b"), -1);
        QCOMPARE(errno, EPERM);
    }
}

void FilesTest::movesWithoutReplacing_data()
{
    QTest::addColumn<QString>("existing"); // shell set-up of "to"; empty: nothing there
    QTest::addColumn<QString>("failure"); // empty: the move succeeds
    QTest::newRow("free name") << QString() << QString();
    QTest::newRow("file there") << u"printf precious > to"_s << u"File exists"_s;
    QTest::newRow("dangling link there") << u"ln -s nowhere to"_s << u"File exists"_s;
    QTest::newRow("folder there") << u"mkdir to"_s << u"File exists"_s;
}

void FilesTest::movesWithoutReplacing()
{
    QFETCH(QString, existing);
    QFETCH(QString, failure);
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!existing.isEmpty())
        QCOMPARE(QProcess::execute(u"sh"_s, { u"-c"_s, u"cd \"$0\" && "_s + existing, dir.path() }), 0);
    QFile from(dir.filePath(u"from"_s));
    QVERIFY(from.open(QIODevice::WriteOnly));
    from.write("movie");
    from.close();

    QString message;
    try {
        moveWithoutReplacing(dir.filePath(u"from"_s).toStdString(), dir.filePath(u"to"_s).toStdString());
    } catch (const std::system_error& error) {
        message = QString::fromUtf8(error.what());
    }

    if (failure.isEmpty()) {
        QCOMPARE(message, QString());
        QFile to(dir.filePath(u"to"_s));
        QVERIFY(to.open(QIODevice::ReadOnly));
        QCOMPARE(to.readAll(), QByteArray("movie"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { u"to"_s });
    } else {
        QCOMPARE(message, u"Could not move the converted movie to \"%1\": %2"_s.arg(dir.filePath(u"to"_s), failure));
        // What stood there is untouched, the source is still there, and no
        // placeholder was left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
            QStringList({ u"from"_s, u"to"_s }));
        if (existing.startsWith(u"printf"_s)) {
            QFile to(dir.filePath(u"to"_s));
            QVERIFY(to.open(QIODevice::ReadOnly));
            QCOMPARE(to.readAll(), QByteArray("precious"));
        }
    }
}

QTEST_APPLESS_MAIN(FilesTest)
#include "tst_files.moc"
