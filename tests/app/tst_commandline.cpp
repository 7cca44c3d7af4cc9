// The bramblecrest executable's command-line mode, run as a real process.
#include "Movies.h"
#include "Processes.h"
#include "Scratch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Outcome
{
    int status = -1;
    QString standardOutput;
    QString standardError;
    QByteArray standardErrorBytes;
};

// True while `pid` exists and is not a zombie waiting to be reaped.
bool isRunning(pid_t pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

// Whether ffmpeg has begun writing the hidden output in `scratch`, the only
// file there: the engine creates it empty before ffmpeg starts, and ffmpeg
// writes its first bytes once it runs, its signal handlers in place.
bool ffmpegWrites(const Scratch& scratch)
{
    const QStringList files = scratch.files();
    return files.size() == 1 && files.constFirst().startsWith(u".bramblecrest-"_s)
        && QFileInfo(scratch.path(files.constFirst())).size() > 0;
}

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
    void answersWithoutWindow_data();
    void answersWithoutWindow();
    void showsProgressOnlyOnTerminal_data();
    void showsProgressOnlyOnTerminal();
    void signalCancelsCleanly_data();
    void signalCancelsCleanly();
    void hardKillStopsFfmpeg();
    void neverCompletesOnFullDisk();
    void convertsOntoExfatThroughFuse();

private:
    Outcome run(const QStringList& arguments, const QString& workingDirectory = {},
        const QString& program = QStringLiteral(BRAMBLECREST_EXECUTABLE)) const;
};

Outcome CommandLineTest::run(
    const QStringList& arguments, const QString& workingDirectory, const QString& program) const
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        qFatal("bramblecrest did not finish");
    const QByteArray error = process.readAllStandardError();
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(error), error };
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
        { u"--convert"_s, movies::undecodableVideo(), scratch.path(u"Out.mp4"_s) });
    QVERIFY(process.waitForFinished(60000));

    const QString error = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(error.startsWith(u"Conversion failed: "_s), qPrintable(error));
    QVERIFY2(error.contains(u"not found"_s), qPrintable(error));
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

void CommandLineTest::answersWithoutWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment"); // added to one without any display
    QTest::addColumn<QString>("standardOutput"); // a pattern
    QTest::addColumn<QString>("standardError");
    QTest::addColumn<int>("status");

    const QString help
        = uR"(^Usage: bramblecrest \[FILE\|FOLDER\]\.\.\.\n +bramblecrest --convert INPUT OUTPUT\n)"
          uR"((.*\n)?Exit status: .*\nSee bramblecrest\(1\)\.\n$)"_s;
    const QString noWindow
        = u"bramblecrest: cannot open a window: no graphical session. To convert "
          u"from a terminal: bramblecrest --convert INPUT OUTPUT\n"_s;
    // A display number no server answers on.
    int free = 90;
    while (QFile::exists(u"/tmp/.X11-unix/X%1"_s.arg(free))
        || QFile::exists(u"/tmp/.X%1-lock"_s.arg(free)))
        ++free;

    QTest::newRow("--help") << QStringList { u"--help"_s } << QStringList() << help << QString()
                            << 0;
    QTest::newRow("-h") << QStringList { u"-h"_s } << QStringList() << help << QString() << 0;
    QTest::newRow("--version")
        << QStringList { u"--version"_s } << QStringList()
        << u"^bramblecrest %1\nSandbox: (Landlock ABI \\d+ \\(files(, network)?(, "
           u"signals)?\\), )?(seccomp \\(network\\), )?memory \\d+\\.\\d GiB(; this "
           u"kernel has [^\n]*)?\n$"_s.arg(
               QRegularExpression::escape(QStringLiteral(BRAMBLECREST_VERSION)))
        << QString() << 0;
    QTest::newRow("no display") << QStringList { u"Trip.mov"_s } << QStringList() << u"^$"_s
                                << noWindow << 1;
    QTest::newRow("X11 display refuses")
        << QStringList() << QStringList { u"DISPLAY=:%1"_s.arg(free) } << u"^$"_s << noWindow << 1;
    QTest::newRow("Wayland display refuses")
        << QStringList()
        << QStringList { u"QT_QPA_PLATFORM=wayland"_s, u"WAYLAND_DISPLAY=bramblecrest-none"_s }
        << u"^$"_s << noWindow << 1;
}

void CommandLineTest::answersWithoutWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(QString, standardOutput);
    QFETCH(QString, standardError);
    QFETCH(int, status);
    const Scratch scratch;

    QProcess process;
    process.setWorkingDirectory(scratch.folder());
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        variables.remove(QString::fromLatin1(name));
    variables.insert(u"XDG_RUNTIME_DIR"_s, scratch.folder());
    for (const QString& variable : std::as_const(environment))
        variables.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    process.setProcessEnvironment(variables);
    process.start(QStringLiteral(BRAMBLECREST_EXECUTABLE), arguments);
    QVERIFY(process.waitForFinished(30000));

    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(QRegularExpression(standardOutput, QRegularExpression::DotMatchesEverythingOption)
                 .match(output)
                 .hasMatch(),
        qPrintable(output));
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), standardError);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit); // no abort, so no core dump
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(scratch.files(), QStringList());
}

void CommandLineTest::showsProgressOnlyOnTerminal_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QByteArray>("typed"); // once the line has been drawn a few times
    QTest::newRow("terminal, to the end") << true << QByteArray();
    QTest::newRow("terminal, Ctrl+C") << true << QByteArray("\x03");
    QTest::newRow("terminal, Ctrl+Z, fg 4 s later") << true << QByteArray("\x1a");
    QTest::newRow("pipe") << false << QByteArray();
}

void CommandLineTest::showsProgressOnlyOnTerminal()
{
    QFETCH(bool, terminal);
    QFETCH(QByteArray, typed);
    const bool interrupt = typed == "\x03";
    const bool suspend = typed == "\x1a";
    const Scratch scratch;
    const QString output = scratch.path(u"Slow.mp4"_s);

    // A pseudo-terminal that becomes the controlling terminal of bramblecrest,
    // its standard input and error, 100 columns wide, as in a shell.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const auto closeMaster = qScopeGuard([master] { ::close(master); });
    const QByteArray terminalName = ::ptsname(master);
    const winsize size { 24, 100, 0, 0 };
    ::ioctl(master, TIOCSWINSZ, &size);
    ::fcntl(master, F_SETFL, O_NONBLOCK);

    QProcess process;
    if (terminal) {
        process.setChildProcessModifier([terminalName] {
            ::setsid();
            const int fd = ::open(terminalName.constData(), O_RDWR);
            ::ioctl(fd, TIOCSCTTY, 0);
            ::dup2(fd, STDIN_FILENO);
            ::dup2(fd, STDERR_FILENO);
            ::close(fd);
        });
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TERM"_s, u"xterm"_s);
    process.setProcessEnvironment(environment);
    // Ctrl+Z stops a job of a shell with job control, as the user's, and fg continues it.
    const QStringList job { QStringLiteral(BRAMBLECREST_EXECUTABLE), u"--convert"_s,
        movies::slowEncode(), output };
    const QStringList shell { u"-c"_s, u"set -m; \"$0\" \"$@\" && exit; sleep 4; fg >/dev/null"_s };
    process.start(suspend ? u"/bin/sh"_s : job.first(), suspend ? shell + job : job.mid(1));
    QVERIFY(process.waitForStarted());
    QByteArray transcript;
    bool sent = false;
    const auto readTerminal = [&] {
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            transcript.append(buffer, got);
    };
    while (!process.waitForFinished(100)) {
        readTerminal();
        if (!typed.isEmpty() && !sent && transcript.count('\r') >= 3)
            sent = ::write(master, typed.constData(), 1) == 1; // as typed
    }
    readTerminal();

    const QString standardError = QString::fromUtf8(process.readAllStandardError());
    const QString standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    if (!terminal) {
        QCOMPARE(standardError, QString());
        QCOMPARE(transcript, QByteArray());
        QCOMPARE(standardOutput, u"Conversion completed\n"_s);
        return;
    }
    // Each drawing starts at the line's beginning and erases what is left of it.
    QString shown = QString::fromUtf8(transcript).remove(u"^C"_s).remove(u"^Z"_s);
    const QString result = interrupt ? u"Cancelled\r\n"_s : QString();
    QVERIFY2(shown.endsWith(u"\r\x1b[K"_s + result), qPrintable(shown)); // cleared, then the result
    shown.chop(result.size() + 4);
    const QStringList drawings = shown.split(u'\r', Qt::SkipEmptyParts);
    QVERIFY2(drawings.size() >= 3, qPrintable(shown));
    const QRegularExpression line(
        uR"(^(Encoding H\.264 video|Done)  (\d+)%  0:(\d\d) elapsed(  \d+:\d\d left)?\x1b\[K$)"_s);
    int percent = 0;
    int elapsed = 0;
    bool estimated = false;
    for (const QString& drawing : drawings) {
        const QRegularExpressionMatch match = line.match(drawing);
        QVERIFY2(match.hasMatch(), qPrintable(drawing));
        QVERIFY(match.captured(2).toInt() >= percent);
        percent = match.captured(2).toInt();
        // After fg the line goes on where it stopped: 4 s stopped are not elapsed.
        QVERIFY2(match.captured(3).toInt() - elapsed <= 2, qPrintable(shown));
        elapsed = match.captured(3).toInt();
        estimated = estimated || match.hasCaptured(4);
    }
    QVERIFY2(estimated || interrupt, "no time left was shown");
    QCOMPARE(standardError, QString());
    if (interrupt) {
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(standardOutput, QString());
        QCOMPARE(scratch.files(), QStringList());
    } else {
        QVERIFY2(
            drawings.constLast().startsWith(u"Done  100%"_s), qPrintable(drawings.constLast()));
        QCOMPARE(standardOutput, u"Conversion completed\n"_s);
        QCOMPARE(process.exitCode(), 0);
    }
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
    QTRY_VERIFY_WITH_TIMEOUT(ffmpegWrites(scratch), 60000);
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

void CommandLineTest::hardKillStopsFfmpeg()
{
    // kill -9, the OOM killer or a crash: no chance to clean up, yet ffmpeg
    // must not write on for the rest of the encode, and no log may remain.
    const Scratch scratch;
    QProcess process;
    process.start(QStringLiteral(BRAMBLECREST_EXECUTABLE),
        { u"--convert"_s, movies::slowEncode(), scratch.path(u"Slow.mp4"_s) });
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(ffmpegWrites(scratch), 60000);
    const QList<pid_t> ffmpeg = childProcesses(static_cast<pid_t>(process.processId()), "ffmpeg");
    QCOMPARE(ffmpeg.size(), 1);

    process.kill();
    QVERIFY(process.waitForFinished(10000));

    QTRY_VERIFY2(!isRunning(ffmpeg.constFirst()), "ffmpeg outlived bramblecrest");
    const QString partial = scratch.path(scratch.files().value(0));
    const qint64 size = QFileInfo(partial).size();
    QTest::qWait(500);
    QCOMPARE(QFileInfo(partial).size(), size); // the hidden output no longer grows
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void CommandLineTest::neverCompletesOnFullDisk()
{
    // A destination that fills up while ffmpeg moves the index to the front:
    // ffmpeg exits 0 with a broken file. Around the size the MP4 needs, each
    // run must either complete with the whole movie or fail leaving nothing.
    if (::geteuid() != 0 || QProcess::execute(u"unshare"_s, { u"-m"_s, u"true"_s }) != 0)
        QSKIP("needs root and mount namespaces (unshare -m) for a small tmpfs");
    const Scratch scratch;
    const QString reference = scratch.path(u"Reference.mp4"_s);
    QCOMPARE(run({ u"--convert"_s, movies::h264(), reference }).status, 0);
    QFile whole(reference);
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray wholeBytes = whole.readAll();
    const qint64 pages = (wholeBytes.size() + 4095) / 4096;
    QDir(scratch.folder()).mkdir(u"disk"_s);

    int incomplete = 0;
    for (qint64 size = (pages - 3) * 4096; size <= (pages + 1) * 4096; size += 4096) {
        // In its own mount namespace the tmpfs vanishes with the shell, so
        // the shell reports what the run left on it.
        const Outcome outcome = run({ u"-m"_s, u"sh"_s, u"-c"_s,
                                        u"mount -t tmpfs -o size=%1 tmpfs disk && \"$0\" --convert \"$1\" disk/Out.mp4; "
                                        u"echo \"status=$?\"; ls -A disk; test ! -e disk/Out.mp4 || cat disk/Out.mp4 >&2"_s
                                            .arg(size),
                                        QStringLiteral(BRAMBLECREST_EXECUTABLE), movies::h264() },
            scratch.folder(), u"unshare"_s);
        const QStringList lines = outcome.standardOutput.split(u'\n', Qt::SkipEmptyParts);
        if (lines.contains(u"status=0"_s)) {
            QCOMPARE(lines, QStringList({ u"Conversion completed"_s, u"status=0"_s, u"Out.mp4"_s }));
            QCOMPARE(outcome.standardErrorBytes, wholeBytes);
        } else {
            QCOMPARE(lines, QStringList { u"status=1"_s }); // nothing left on the disk
            incomplete += outcome.standardError.startsWith(
                u"The converted movie is incomplete. Check that there is enough free space where it is saved."_s);
        }
    }
    QVERIFY2(incomplete > 0, "no size made ffmpeg fail on the index");
}

void CommandLineTest::convertsOntoExfatThroughFuse()
{
    // A camera card or an external drive: exFAT on a loop device, mounted
    // through FUSE, which has neither RENAME_NOREPLACE nor hard links, and
    // keeps file times to the second.
    if (::geteuid() != 0 || !QFile::exists(u"/dev/fuse"_s))
        QSKIP("needs root and /dev/fuse for an exFAT drive through FUSE");
    if (QStandardPaths::findExecutable(u"mount.exfat-fuse"_s, { u"/usr/sbin"_s, u"/sbin"_s }).isEmpty())
        QSKIP("mount.exfat-fuse is not installed (Debian package exfat-fuse)");
    const Scratch scratch;
    QDir(scratch.folder()).mkdir(u"card"_s);
    const QString card = scratch.path(u"card"_s);
    const QString mount = uR"(set -e
truncate -s 16M card.img
mkfs.exfat card.img >/dev/null
device=$(losetup --find --show card.img)
mount.exfat-fuse -o allow_other,umask=0 "$device" card >/dev/null 2>&1 || { losetup -d "$device"; exit 1; }
echo "$device")"_s;
    const Outcome mounted = run({ u"-c"_s, mount }, scratch.folder(), u"/bin/sh"_s);
    if (mounted.status != 0)
        QSKIP("this machine cannot mount a loop device through FUSE");
    const QString device = mounted.standardOutput.trimmed();
    const auto unmount = qScopeGuard([&] {
        QProcess::execute(u"umount"_s, { card });
        QProcess::execute(u"losetup"_s, { u"-d"_s, device });
    });

    const QString movie = card + u"/Trip.mov"_s, target = card + u"/Trip.mp4"_s;
    movies::copyTo(movies::h264(), movie);
    const QDateTime recorded = QDateTime::fromSecsSinceEpoch(1688300000);
    const timespec times[2] { { 1688300000, 0 }, { 1688300000, 0 } };
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(movie).constData(), times, 0), 0);
    const Outcome first = run({ u"--convert"_s, movie, target });
    const Outcome second = run({ u"--convert"_s, movies::prores(), target });
    // The card's files all belong to root, as a FUSE drive mounted for one
    // user shows them to another: that user may write them, not date them.
    QVERIFY(QFile::setPermissions(scratch.folder(), QFile::permissions(scratch.folder()) | QFile::ExeOther));
    const Outcome undated = run({ u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                    u"env"_s, u"TMPDIR=/tmp"_s, QStringLiteral(BRAMBLECREST_EXECUTABLE),
                                    u"--convert"_s, movie, card + u"/Undated.mp4"_s },
        card, u"/usr/bin/setpriv"_s);

    QCOMPARE(first.standardOutput, u"Conversion completed\n"_s);
    QCOMPARE(first.status, 0);
    QCOMPARE(QFileInfo(target).lastModified(), recorded);
    QCOMPARE(movies::videoCodec(target), u"h264"_s);
    QCOMPARE(second.standardError, u"Could not move the converted movie to \"%1\": File exists\n"_s.arg(target));
    QCOMPARE(undated.standardError, QString());
    QCOMPARE(undated.standardOutput, u"Conversion completed\n"_s);
    QVERIFY(QFileInfo(card + u"/Undated.mp4"_s).lastModified() > recorded);
    QCOMPARE(QDir(card).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList({ u"Trip.mov"_s, u"Trip.mp4"_s, u"Undated.mp4"_s }));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
