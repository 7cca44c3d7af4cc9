// The bramblecrest executable's command-line mode, run as a real process.
#include "Movies.h"
#include "Processes.h"
#include "Scratch.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Outcome
{
    int status = -1;
    QString standardOutput;
    QString standardError;
};

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convertsWithRelativePaths();
    void reportsRefusalOnStandardError();
    void reportsExistingOutput();
    void reportsFfmpegErrorWithStandardOutputClosed();
    void otherArgumentListsDoNotConvert_data();
    void otherArgumentListsDoNotConvert();
    void signalCancelsCleanly_data();
    void signalCancelsCleanly();

private:
    Outcome run(const QStringList& arguments, const QString& workingDirectory = {}) const;
};

Outcome CommandLineTest::run(const QStringList& arguments, const QString& workingDirectory) const
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(BRAMBLECREST_EXECUTABLE), arguments);
    if (!process.waitForFinished(120000))
        qFatal("bramblecrest did not finish");
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError()) };
}

void CommandLineTest::convertsWithRelativePaths()
{
    const Scratch scratch;
    QDir(scratch.folder()).mkdir(u"in"_s);
    movies::copyTo(movies::h264(), scratch.path(u"in/Trip.mov"_s));

    const Outcome outcome
        = run({ u"--convert"_s, u"in/Trip.mov"_s, u"Trip.mp4"_s }, scratch.folder());

    QCOMPARE(outcome.standardOutput, u"Conversion completed\n"_s);
    QCOMPARE(outcome.standardError, QString());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(movies::videoCodec(scratch.path(u"Trip.mp4"_s)),
        u"h264"_s);
    QCOMPARE(scratch.files(), QStringList({ u"Trip.mp4"_s, u"in"_s }));
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void CommandLineTest::reportsRefusalOnStandardError()
{
    const Scratch scratch;
    const Outcome outcome = run({ u"--convert"_s, movies::pq(), scratch.path(u"Out.mp4"_s) });

    QCOMPARE(outcome.standardOutput, QString());
    QCOMPARE(outcome.standardError,
        u"This is HDR footage. Use a color-managed HDR-to-SDR export before converting with "
        u"Bramblecrest.\n"_s);
    QCOMPARE(outcome.status, 1);
    QCOMPARE(scratch.files(), QStringList());
}

void CommandLineTest::reportsExistingOutput()
{
    const Scratch scratch;
    const QString output = scratch.path(u"Trip.mp4"_s);
    {
        QFile existing(output);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep me");
    }

    const Outcome outcome = run({ u"--convert"_s, movies::h264(), output });

    QCOMPARE(outcome.standardOutput, QString());
    QCOMPARE(outcome.standardError,
        u"Could not move the converted movie to \"%1\": File exists\n"_s.arg(output));
    QCOMPARE(outcome.status, 1);
    QFile existing(output);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("keep me"));
    QCOMPARE(scratch.files(), QStringList { u"Trip.mp4"_s });
}

void CommandLineTest::reportsFfmpegErrorWithStandardOutputClosed()
{
    // Started with standard output closed, the pipe or the log takes number 1;
    // ffmpeg's error must still reach the message.
    const Scratch scratch;
    QProcess process;
    process.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
    process.start(QStringLiteral(BRAMBLECREST_EXECUTABLE),
        { u"--convert"_s, movies::h264(), scratch.path(u"missing/Out.mp4"_s) });
    QVERIFY(process.waitForFinished(60000));

    const QString error = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(error.startsWith(u"Conversion failed: "_s), qPrintable(error));
    QVERIFY2(error.contains(u"No such file or directory"_s), qPrintable(error));
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void CommandLineTest::otherArgumentListsDoNotConvert_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no arguments") << QStringList();
    QTest::newRow("one path") << QStringList { u"--convert"_s, u"IN"_s };
    QTest::newRow("three paths") << QStringList { u"--convert"_s, u"IN"_s, u"Out.mp4"_s, u"x"_s };
    QTest::newRow("upper case") << QStringList { u"--CONVERT"_s, u"IN"_s, u"Out.mp4"_s };
    QTest::newRow("another position") << QStringList { u"IN"_s, u"--convert"_s, u"Out.mp4"_s };
}

void CommandLineTest::otherArgumentListsDoNotConvert()
{
    QFETCH(QStringList, arguments);
    const Scratch scratch;
    arguments.replaceInStrings(u"IN"_s, movies::h264());

    // These start the window; it is closed again after a moment.
    QProcess process;
    process.setWorkingDirectory(scratch.folder());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(BRAMBLECREST_EXECUTABLE), arguments);
    QVERIFY(process.waitForStarted());
    if (!process.waitForFinished(3000)) {
        process.terminate();
        QVERIFY(process.waitForFinished(10000));
    }

    QVERIFY(!process.readAllStandardOutput().contains("Conversion completed"));
    QCOMPARE(scratch.files(), QStringList());
}

void CommandLineTest::signalCancelsCleanly_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("wholeGroup");
    QTest::newRow("Ctrl+C (SIGINT to the process group)") << int(SIGINT) << true;
    QTest::newRow("SIGINT") << int(SIGINT) << false;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
}

void CommandLineTest::signalCancelsCleanly()
{
    QFETCH(int, signal);
    QFETCH(bool, wholeGroup);
    const Scratch scratch;
    const QString movie = movies::slowEncode();

    QProcess process;
    // Its own process group, as a shell gives a foreground job, so Ctrl+C can be
    // sent to bramblecrest and its ffmpeg together.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(QStringLiteral(BRAMBLECREST_EXECUTABLE),
        { u"--convert"_s, movie, scratch.path(u"Slow.mp4"_s) });
    QVERIFY(process.waitForStarted());
    const pid_t pid = static_cast<pid_t>(process.processId());
    // ffmpeg has started once its temporary output appears.
    QTRY_VERIFY_WITH_TIMEOUT(scratch.files().size() == 1, 60000);
    QVERIFY(scratch.files().constFirst().startsWith(u".bramblecrest-"_s));
    const QList<pid_t> ffmpeg = childProcesses(pid, "ffmpeg");
    QCOMPARE(ffmpeg.size(), 1);

    ::kill(wholeGroup ? -pid : pid, signal);
    QVERIFY(process.waitForFinished(60000));

    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), u"Cancelled\n"_s);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), QString());
    QCOMPARE(scratch.files(), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList());
    QVERIFY2(::kill(ffmpeg.constFirst(), 0) != 0 && errno == ESRCH, "ffmpeg is still running");
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
