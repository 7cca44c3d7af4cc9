// The engine against fake ffprobe and ffmpeg programs: tool lookup, argument
// lists, the files of a run, progress parsing, failure messages and the
// child's signal state.
#include "ConversionFailure.h"
#include "Converter.h"
#include "FakeTools.h"
#include "Movies.h"
#include "Processes.h"
#include "Scratch.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <climits>
#include <csignal>
#include <unistd.h>
#include <future>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString missingTools = u"FFmpeg is missing. This app uses FFmpeg and ffprobe installed on this computer."_s;
const QString uuidPattern = u"[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}"_s;

using Reports = QList<QPair<double, QString>>;

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(path.toStdString());
}

struct Run
{
    QString failure; // empty on success
    Reports reports;
};

Run convert(Converter& converter, const QString& input, const QString& output)
{
    Run run;
    try {
        converter.convert(fsPath(input), fsPath(output), [&](double fraction, const std::string& stage) {
            run.reports.append({ fraction, QString::fromStdString(stage) });
        });
    } catch (const std::exception& error) {
        run.failure = QString::fromStdString(error.what());
    }
    return run;
}

QString copyReport(const QString& duration = u"12.500000"_s)
{
    return videoReport(u"h264"_s, u"yuv420p"_s, u"bt709"_s, duration);
}

// A copy report with these audio streams after the video.
QString withAudio(const QString& streams)
{
    QString report = copyReport();
    return report.insert(report.indexOf(u"]"_s), u","_s + streams);
}

} // namespace

class ConverterToolsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void looksUpToolsInOrder();
    void findsRealToolsInFixedFolders();
    void reportsMissingTools();
    void passesExactProbeArguments_data();
    void passesExactProbeArguments();
    void refusesFailedProbe();
    void passesExactFfmpegArguments_data();
    void passesExactFfmpegArguments();
    void namesRunFilesAndRemovesThem();
    void readsProgressLines();
    void reportsNothingBetweenWithoutDuration();
    void buildsFailureFromLogTail_data();
    void buildsFailureFromLogTail();
    void reportsChildKilledBySignalAsFailure_data();
    void reportsChildKilledBySignalAsFailure();
    void reportsUnstartableFfmpeg();
    void startsChildWithDefaultSignals();
    void cancelsRepeatedlyWhileRunning();
    void cancelStopsHangingProbe_data();
    void cancelStopsHangingProbe();
    void refusesBeforeProbing_data();
    void refusesBeforeProbing();
};

void ConverterToolsTest::looksUpToolsInOrder()
{
    FakeTools first, second, third;
    first.write(u"ffprobe"_s, u"exit 1"_s, false); // not executable: skipped
    QDir(first.folder().c_str()).mkdir(u"ffmpeg"_s); // a folder: skipped
    second.writeProbe(copyReport(u"2.5"_s));
    third.writeProbe(copyReport(u"7"_s));
    Converter converter({ first.folder(), second.folder(), third.folder() });

    QCOMPARE(converter.inspect(fsPath(third.movie())).duration, 2.5);

    third.writeFfmpeg(u"true"_s);
    const Scratch scratch;
    QCOMPARE(convert(converter, third.movie(), scratch.path(u"Out.mp4"_s)).failure, QString());
    QVERIFY(!third.recordedArguments().isEmpty());
}

void ConverterToolsTest::findsRealToolsInFixedFolders()
{
    const std::vector<std::filesystem::path> expected { "/opt/homebrew/bin", "/usr/local/bin", "/usr/bin" };
    QCOMPARE(Converter::fixedToolFolders(), expected);
    const std::string found = Converter::executable("ffmpeg").string();
    QVERIFY(found == "/opt/homebrew/bin/ffmpeg" || found == "/usr/local/bin/ffmpeg"
        || found == "/usr/bin/ffmpeg");
    QVERIFY_THROWS_EXCEPTION(ConversionFailure, Converter::executable("no-such-tool-bramblecrest"));
}

void ConverterToolsTest::reportsMissingTools()
{
    const Scratch scratch;
    FakeTools tools;
    Converter converter(tools.folders());
    QCOMPARE(convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s)).failure, missingTools);

    // ffprobe present, ffmpeg absent: inspection works, conversion does not.
    tools.writeProbe(copyReport());
    QCOMPARE(converter.inspect(fsPath(tools.movie())).duration, 12.5);
    const Run run = convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s));
    QCOMPARE(run.failure, missingTools);
    QVERIFY(run.reports.isEmpty());
    QCOMPARE(scratch.files(), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList()); // the log made before the lookup is gone
}

void ConverterToolsTest::passesExactProbeArguments_data()
{
    QTest::addColumn<QString>("transfer");
    QTest::addColumn<QString>("frameTransfer"); // empty: the first frame is not looked at
    QTest::addColumn<bool>("hdr");
    QTest::newRow("SDR") << u"bt709"_s << QString() << false;
    QTest::newRow("PQ in the stream") << u"smpte2084"_s << QString() << true;
    QTest::newRow("BT.2020, HLG in the frames") << u"bt2020-10"_s << u"arib-std-b67"_s << true;
    QTest::newRow("BT.2020, SDR frames") << u"bt2020-10"_s << u"bt2020-10"_s << false;
}

void ConverterToolsTest::passesExactProbeArguments()
{
    QFETCH(QString, transfer);
    QFETCH(QString, frameTransfer);
    QFETCH(bool, hdr);
    FakeTools tools;
    tools.write(u"ffprobe"_s,
        u"for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '%1'\n"
        u"case \"$*\" in *-read_intervals*) printf '{\"frames\":[{\"color_transfer\":\"%2\"}]}' ;;\n"
        u"*) printf '%3' ;; esac"_s.arg(tools.path(u"args.txt"_s), frameTransfer,
            videoReport(u"hevc"_s, u"yuv420p10le"_s, transfer, u"1"_s)));
    Converter converter(tools.folders());
    const QString movie = tools.movie(u"My Trip.mov"_s);

    QCOMPARE(converter.inspect(fsPath(movie)).hdr, hdr);

    QStringList expected { u"-v"_s, u"error"_s, u"-show_streams"_s, u"-show_format"_s, u"-of"_s,
        u"json"_s, u"-f"_s, u"mov"_s, movie };
    if (!frameTransfer.isEmpty()) {
        expected += { u"-v"_s, u"error"_s, u"-select_streams"_s, u"v:0"_s, u"-read_intervals"_s,
            u"%+#1"_s, u"-show_entries"_s, u"frame=color_transfer"_s, u"-of"_s, u"json"_s, u"-f"_s,
            u"mov"_s, movie };
    }
    QCOMPARE(tools.recordedArguments(), expected);
}

void ConverterToolsTest::refusesFailedProbe()
{
    FakeTools tools;
    tools.writeProbe(copyReport(), 1); // a good report does not help a failed probe
    Converter converter(tools.folders());
    QVERIFY_THROWS_EXCEPTION(ConversionFailure, converter.inspect(fsPath(tools.movie())));

    tools.writeProbe(u"{\"streams\": [}"_s);
    try {
        converter.inspect(fsPath(tools.movie()));
        QFAIL("no failure");
    } catch (const ConversionFailure&) {
        QFAIL("a parser error must not become a ConversionFailure");
    } catch (const std::exception& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(u"parse error"_s), error.what());
    }
}

void ConverterToolsTest::passesExactFfmpegArguments_data()
{
    QTest::addColumn<QString>("movie"); // empty: an empty file
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("audioPart"); // the maps after the video's
    QTest::addColumn<QStringList>("videoPart");
    QTest::addColumn<QStringList>("audioFilters");
    QTest::addColumn<QString>("stage");
    const QString keepDurations = u"setts=pts=PTS:dts=DTS:duration=if(gt(NEXT_DTS-DTS\\,0)\\,NEXT_DTS-DTS\\,"_s;
    const QStringList copy { u"-c:v"_s, u"copy"_s, u"-bsf:v"_s, keepDurations + u"DURATION)"_s };
    const QStringList allAudio { u"-map"_s, u"0:a?"_s };
    const QString stage = u"Copying compatible video"_s;
    QTest::newRow("copy") << QString() << copyReport() << allAudio << copy << QStringList() << stage;
    // The last frame's duration and the time scales from the movie's own
    // boxes, for the track ffprobe names.
    QString tracked = copyReport();
    tracked.replace(u"\"video\","_s, u"\"video\",\"id\":\"0x1\","_s);
    QTest::newRow("copy, the movie's table")
        << movies::camera() << tracked << allAudio
        << QStringList { u"-c:v"_s, u"copy"_s, u"-bsf:v"_s, keepDurations + u"20)"_s,
               u"-video_track_timescale"_s, u"600"_s, u"-movie_timescale"_s, u"1000"_s }
        << QStringList() << stage;
    QTest::newRow("encode") << QString() << videoReport(u"prores"_s, u"yuv422p10le"_s, u""_s, u"12.5"_s)
                            << allAudio
                            << QStringList { u"-c:v"_s, u"libx264"_s, u"-preset"_s, u"fast"_s,
                                   u"-crf"_s, u"18"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-vf"_s,
                                   u"scale=trunc(iw/2)*2:trunc(ih/2)*2"_s }
                            << QStringList() << u"Encoding H.264 video"_s;
    const QString mono = uR"({"codec_type":"audio","codec_name":"aac","channel_layout":"mono"})"_s;
    const QString side = uR"j({"codec_type":"audio","codec_name":"pcm_s24le","channel_layout":"5.1(side)"})j"_s;
    const QString unreadable = uR"({"codec_type":"audio","codec_tag_string":"apac"})"_s;
    QTest::newRow("all readable, 5.1(side) named 5.1")
        << QString() << withAudio(mono + u","_s + side) << allAudio << copy
        << QStringList { u"-filter:a:1"_s, u"channelmap=channel_layout=5.1"_s } << stage;
    QTest::newRow("unreadable left out")
        << QString() << withAudio(unreadable + u","_s + side + u","_s + unreadable + u","_s + mono)
        << QStringList { u"-map"_s, u"0:a:1"_s, u"-map"_s, u"0:a:3"_s } << copy
        << QStringList { u"-filter:a:0"_s, u"channelmap=channel_layout=5.1"_s } << stage;
}

void ConverterToolsTest::passesExactFfmpegArguments()
{
    QFETCH(QString, movie);
    QFETCH(QString, report);
    QFETCH(QStringList, audioPart);
    QFETCH(QStringList, videoPart);
    QFETCH(QStringList, audioFilters);
    QFETCH(QString, stage);
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(report);
    tools.writeFfmpeg(u"true"_s);
    Converter converter(tools.folders());
    const QString input = tools.movie(u"My Trip.mov"_s);
    if (!movie.isEmpty())
        movies::copyTo(movie, input);

    const Run run = convert(converter, input, scratch.path(u"My Trip.mp4"_s));

    QCOMPARE(run.failure, QString());
    QCOMPARE(run.reports, Reports({ { 0.0, stage }, { 1.0, u"Done"_s } }));
    QStringList arguments = tools.recordedArguments();
    const QStringList head { u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-nostdin"_s, u"-y"_s,
        u"-f"_s, u"mov"_s, u"-i"_s, input, u"-map"_s, u"0:v:0"_s };
    const QStringList tail { u"-c:a"_s, u"aac"_s, u"-b:a"_s, u"192k"_s, u"-map_metadata"_s, u"0"_s,
        u"-metadata"_s, u"major_brand="_s, u"-metadata"_s, u"minor_version="_s, u"-metadata"_s,
        u"compatible_brands="_s, u"-movflags"_s, u"+faststart+use_metadata_tags"_s, u"-progress"_s,
        u"pipe:1"_s, u"-nostats"_s };
    QCOMPARE(
        arguments.mid(0, arguments.size() - 1), head + audioPart + videoPart + audioFilters + tail);
    const QRegularExpression temporary(
        u"^%1/\\.bramblecrest-%2\\.mp4$"_s.arg(QRegularExpression::escape(scratch.folder()), uuidPattern));
    QVERIFY2(temporary.match(arguments.last()).hasMatch(), qPrintable(arguments.last()));
    QCOMPARE(scratch.files(), QStringList { u"My Trip.mp4"_s });
}

void ConverterToolsTest::namesRunFilesAndRemovesThem()
{
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport());
    // The log is ffmpeg's standard error: note where it is and its mode while
    // it runs. It has no name, so nothing of it can outlive the run.
    tools.writeFfmpeg(u"log=$(readlink /proc/$$/fd/2)\n"
                      u"printf '%s\\n' \"$log\" > '%1'\nstat -L -c %a /proc/$$/fd/2 >> '%1'"_s.arg(
                          tools.path(u"log.txt"_s)));
    Converter converter(tools.folders());

    QCOMPARE(convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s)).failure, QString());

    QFile note(tools.path(u"log.txt"_s));
    QVERIFY(note.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(note.readAll()).split(u'\n');
    const QString temporaryDirectory = QString::fromLocal8Bit(qgetenv("TMPDIR"));
    const QRegularExpression log(
        u"^%1/.* \\(deleted\\)$"_s.arg(QRegularExpression::escape(temporaryDirectory)));
    QVERIFY2(log.match(lines.value(0)).hasMatch(), qPrintable(lines.value(0)));
    QCOMPARE(lines.value(1), u"600"_s);
    QCOMPARE(scratch.files(), QStringList { u"Out.mp4"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterToolsTest::readsProgressLines()
{
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport(u"12.500000"_s));
    tools.writeFfmpeg(uR"(printf 'frame=1\nout_time_us=6250000\nout_time_ms=9000000\n'
printf 'out_time_us=20000000\nout_time_us=N/A\nout_time_us=-1250000\n'
printf 'out_time_us= 1\nout_time_us=1 \n out_time_us=1\nprogress=continue\n'
printf 'out_time_us=31'
sleep 0.3
printf '25000\n'
printf 'out_time_us=\377\n'
printf 'out_time_us=12500000')"_s);
    Converter converter(tools.folders());

    const Run run = convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s));

    QCOMPARE(run.failure, QString());
    const QString stage = u"Copying compatible video"_s;
    // The unterminated last line is never processed.
    QCOMPARE(run.reports,
        Reports({ { 0.0, stage }, { 0.5, stage }, { 0.99, stage }, { -0.1, stage }, { 0.25, stage },
            { 1.0, u"Done"_s } }));
}

void ConverterToolsTest::reportsNothingBetweenWithoutDuration()
{
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport(u"N/A"_s));
    tools.writeFfmpeg(u"printf 'out_time_us=1000000\\nout_time_us=2000000\\n'"_s);
    Converter converter(tools.folders());

    const Run run = convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s));

    QCOMPARE(run.reports,
        Reports({ { 0.0, u"Copying compatible video"_s }, { 1.0, u"Done"_s } }));
}

void ConverterToolsTest::buildsFailureFromLogTail_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("message");
    QTest::newRow("one line") << QByteArray("Invalid data found\n")
                              << u"Conversion failed: Invalid data found\n"_s;
    QTest::newRow("empty log") << QByteArray() << u"Conversion failed: "_s;
    const QByteArray longLog = QByteArray(100, 'a') + QByteArray(900, 'b');
    QTest::newRow("long log keeps the last 900") << longLog
                                                 << u"Conversion failed: "_s + QString(900, u'b');
    // 950 two-byte letters: the tail counts characters, never splits one.
    QByteArray letters;
    for (int i = 0; i < 950; ++i)
        letters += "\xC3\xA4";
    QTest::newRow("characters, not bytes") << letters << u"Conversion failed: "_s + QString(900, u'ä');
    QTest::newRow("invalid UTF-8") << QByteArray("bad \xFF byte\n") << u"Conversion failed: Unknown error"_s;
    const QByteArray lines = "x\n" + (QByteArray(99, 'b') + '\n').repeated(8);
    QTest::newRow("whole lines") << QByteArray(150, 'a') + '\n' + lines
                                 << u"Conversion failed: "_s + QString::fromLatin1(lines);
    const QByteArray longLine = QByteArray(950, 'b') + '\n';
    QTest::newRow("one line longer than the tail")
        << "x\n" + longLine << u"Conversion failed: "_s + QString(899, u'b') + u'\n';
    const QByteArray damaged = "[mov] stream 0, offset 0x2bcc: partial file\n";
    QTest::newRow("damaged, said early")
        << damaged + lines << u"This movie is damaged or incomplete, so it cannot be converted."_s;
    // As ffmpeg 5.1 words it when the box's memory ceiling is reached.
    const QString memory = u"This movie needs more memory than a conversion may use on this "
                           u"computer, so it cannot be converted."_s;
    QTest::newRow("x264 out of memory")
        << QByteArray("x264 [error]: malloc of size 26999616 failed\n") << memory;
    QTest::newRow("no room for a thread") << QByteArray(
        "Error while opening decoder for input stream #0:0 : Resource temporarily unavailable\n")
                                          << memory;
    QTest::newRow("no room for a library") << QByteArray(
        "ffmpeg: error while loading shared libraries: libshine.so.3: failed to map segment from "
        "shared object\n") << memory;
}

void ConverterToolsTest::buildsFailureFromLogTail()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, message);
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport());
    QFile logFile(tools.path(u"log.bin"_s));
    QVERIFY(logFile.open(QIODevice::WriteOnly));
    logFile.write(log);
    logFile.close();
    tools.writeFfmpeg(u"printf 'out_time_us=1\\n'\ncat '%1' >&2\nprintf 'partial' > \"$last\""_s.arg(
                          logFile.fileName()),
        1);
    Converter converter(tools.folders());

    const Run run = convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s));

    QCOMPARE(run.failure, message);
    QCOMPARE(run.reports.last().second, u"Copying compatible video"_s);
    QCOMPARE(scratch.files(), QStringList()); // the partial output is gone
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterToolsTest::reportsChildKilledBySignalAsFailure_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("message");
    QTest::newRow("with a log") << u"printf 'dying\\n' >&2\nkill -KILL $$"_s << u"Conversion failed: dying\n"_s;
    QTest::newRow("without a log") << u"kill -SEGV $$"_s
                                   << u"Conversion failed: ffmpeg was stopped by signal 11 (Segmentation fault)"_s;
}

void ConverterToolsTest::reportsChildKilledBySignalAsFailure()
{
    QFETCH(QString, body);
    QFETCH(QString, message);
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport());
    tools.write(u"ffmpeg"_s, body);
    Converter converter(tools.folders());

    QCOMPARE(convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s)).failure, message);
}

void ConverterToolsTest::reportsUnstartableFfmpeg()
{
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport());
    QFile script(tools.path(u"ffmpeg"_s));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/nonexistent/interpreter\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    Converter converter(tools.folders());

    bool platformError = false;
    try {
        converter.convert(fsPath(tools.movie()), fsPath(scratch.path(u"Out.mp4"_s)), [](double, const std::string&) { });
    } catch (const ConversionFailure&) {
    } catch (const std::system_error& error) {
        platformError = true;
        QCOMPARE(QString::fromUtf8(error.what()),
            u"Could not start \"%1\": No such file or directory"_s.arg(tools.path(u"ffmpeg"_s)));
    }
    QVERIFY(platformError);
    QCOMPARE(scratch.files(), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterToolsTest::startsChildWithDefaultSignals()
{
    // This process ignores and blocks SIGINT; ffmpeg must still get it by default.
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, &previous);
    sigset_t interrupt, previousMask;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &previousMask);

    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport());
    tools.writeFfmpeg(u"grep -E '^Sig(Ign|Blk)' /proc/self/status > '%1'\nprintf 'out_time_us=1\\n'\nexec sleep 60"_s.arg(
        tools.path(u"signals.txt"_s)));
    Converter converter(tools.folders());
    std::promise<void> started;
    std::future<QString> outcome = std::async(std::launch::async, [&] {
        try {
            converter.convert(fsPath(tools.movie()), fsPath(scratch.path(u"Out.mp4"_s)),
                [&, once = true](double fraction, const std::string&) mutable {
                    // The first report (0) comes before the script has run; wait for its line.
                    if (fraction > 0 && std::exchange(once, false))
                        started.set_value();
                });
        } catch (const std::exception& error) {
            return QString::fromUtf8(error.what());
        }
        return QString();
    });
    started.get_future().wait();
    converter.cancel();
    const bool ended = outcome.wait_for(std::chrono::seconds(30)) == std::future_status::ready;

    sigaction(SIGINT, &previous, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    QVERIFY2(ended, "ffmpeg ignored the cancel's SIGINT");
    QCOMPARE(outcome.get(), u"Cancelled"_s);
    // Signals 1 to 31 neither blocked nor ignored in what ffmpeg runs (above
    // them are the C library's internal real-time signals). grep reads its
    // own state, inherited from the script: the shell itself blocks every
    // signal for a moment whenever it forks.
    QFile signalState(tools.path(u"signals.txt"_s));
    QVERIFY(signalState.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(signalState.readAll()).split(u'\n');
    QCOMPARE(lines.value(0).section(u'\t', 0, 0), u"SigBlk:"_s);
    QCOMPARE(lines.value(0).section(u'\t', 1).toULongLong(nullptr, 16) & 0x7fffffffu, 0u);
    QCOMPARE(lines.value(1).section(u'\t', 0, 0), u"SigIgn:"_s);
    QCOMPARE(lines.value(1).section(u'\t', 1).toULongLong(nullptr, 16) & 0x7fffffffu, 0u);
}

void ConverterToolsTest::cancelsRepeatedlyWhileRunning()
{
    // cancel() and isCancelled() from another thread at any moment of many
    // short runs, each started after reset() as a batch does: every run either
    // finishes or ends "Cancelled", and none leaves a file behind. Under
    // ThreadSanitizer this is the test of the lock.
    const Scratch scratch;
    FakeTools tools;
    tools.writeProbe(copyReport(u"1"_s));
    tools.writeFfmpeg(u"printf 'out_time_us=500000\\n'\nsleep 0.01"_s);
    Converter converter(tools.folders());
    int finished = 0;
    {
        const std::jthread canceller([&](std::stop_token stop) {
            for (int i = 0; !stop.stop_requested(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5 + i % 17));
                converter.cancel();
                (void)converter.isCancelled();
            }
        });
        for (int i = 0; i < 30; ++i) {
            converter.reset();
            const Run run = convert(converter, tools.movie(), scratch.path(u"Out.mp4"_s));
            QVERIFY2(run.failure.isEmpty() || run.failure == u"Cancelled"_s, qPrintable(run.failure));
            if (run.failure.isEmpty()) {
                ++finished;
                QVERIFY(QFile::remove(scratch.path(u"Out.mp4"_s)));
            }
        }
    }
    QCOMPARE(scratch.files(), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList());
    qInfo("%d of 30 runs finished, the rest were cancelled", finished);
}

void ConverterToolsTest::cancelStopsHangingProbe_data()
{
    QTest::addColumn<QString>("probe");
    QTest::newRow("the streams") << u"exec sleep 60"_s;
    QTest::newRow("the first frame")
        << u"case \"$*\" in *-read_intervals*) exec sleep 60 ;; esac\nprintf '%1'"_s.arg(
               videoReport(u"hevc"_s, u"yuv420p10le"_s, u"bt2020-10"_s, u"1"_s));
}

void ConverterToolsTest::cancelStopsHangingProbe()
{
    // An ffprobe stuck on an unresponsive file (a hung network mount, a FIFO)
    // must not keep a cancelled conversion, or a closing window, waiting.
    QFETCH(QString, probe);
    const Scratch scratch;
    FakeTools tools;
    tools.write(u"ffprobe"_s, probe);
    Converter converter(tools.folders());
    std::future<QString> outcome = std::async(std::launch::async, [&] {
        try {
            converter.convert(fsPath(tools.movie()), fsPath(scratch.path(u"Out.mp4"_s)), [](double, const std::string&) { });
        } catch (const std::exception& error) {
            return QString::fromUtf8(error.what());
        }
        return QString();
    });
    QTRY_COMPARE(childProcesses(::getpid(), "sleep").size(), 1);

    converter.cancel();

    QVERIFY2(outcome.wait_for(std::chrono::seconds(30)) == std::future_status::ready, "ffprobe was not stopped");
    QCOMPARE(outcome.get(), u"Cancelled"_s);
    QCOMPARE(childProcesses(::getpid(), "sleep").size(), 0);
    QCOMPARE(scratch.files(), QStringList());

    // Until the next batch clears the mark no ffprobe starts, not even an
    // inspection begun after the cancel, which cancel() could not have
    // reached; then a probe that fails by itself keeps its own message.
    const QString probed = tools.path(u"probed"_s);
    tools.write(u"ffprobe"_s, u"touch '%1'\nexit 1"_s.arg(probed));
    const auto inspectionFailure = [&] {
        try {
            converter.inspect(fsPath(tools.movie()));
        } catch (const ConversionFailure& failure) {
            return QString::fromUtf8(failure.what());
        }
        return QString();
    };
    QCOMPARE(inspectionFailure(), u"Cancelled"_s);
    QVERIFY(!QFile::exists(probed));
    converter.reset();
    QCOMPARE(inspectionFailure(),
        u"Could not read a video track. Check that the MOV is complete and playable."_s);
    QVERIFY(QFile::exists(probed));
}

void ConverterToolsTest::refusesBeforeProbing_data()
{
    // Each row sets up the scratch folder, where the input is "in.mov".
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message"); // %1: the input, %2: the target
    const QString taken = u"Could not move the converted movie to \"%2\": File exists"_s;
    const QString notAMovie = QString::fromUtf8(ConversionFailure::noVideoTrack);
    const QString out = u"Out.mp4"_s;
    QTest::newRow("FIFO as input") << u"mkfifo in.mov"_s << out << notAMovie;
    QTest::newRow("folder as input") << u"mkdir in.mov"_s << out << notAMovie;
    QTest::newRow("device as input") << u"ln -s /dev/zero in.mov"_s << out << notAMovie;
    QTest::newRow("missing input") << u":"_s << out << u"Could not open \"%1\": No such file or directory"_s;
    QTest::newRow("file at the target") << u": > in.mov; : > Out.mp4"_s << out << taken;
    QTest::newRow("folder at the target") << u": > in.mov; mkdir Out.mp4"_s << out << taken;
    QTest::newRow("dangling link at the target") << u": > in.mov; ln -s nowhere Out.mp4"_s << out << taken;
    QTest::newRow("input as the target") << u": > in.mov"_s << u"in.mov"_s << taken;
    // DEEP is a folder path that the target fits in PATH_MAX, the hidden file beside it does not.
    QTest::newRow("temporary name too long")
        << u": > in.mov; mkdir -p DEEP"_s << u"DEEP/Out.mp4"_s
        << u"Could not move the converted movie to \"%2\": File name too long"_s;
}

void ConverterToolsTest::refusesBeforeProbing()
{
    QFETCH(QString, setUp);
    QFETCH(QString, target);
    QFETCH(QString, message);
    const Scratch scratch;
    QString deep;
    while (scratch.folder().size() + deep.size() < PATH_MAX - 40)
        deep += u'/' + QString(std::min<qsizetype>(200, PATH_MAX - 40 - scratch.folder().size() - deep.size()), u'd');
    deep.remove(0, 1);
    setUp.replace(u"DEEP"_s, deep);
    target.replace(u"DEEP"_s, deep);
    QProcess shell;
    shell.setWorkingDirectory(scratch.folder());
    shell.start(u"/bin/sh"_s, { u"-c"_s, setUp });
    QVERIFY(shell.waitForFinished() && shell.exitCode() == 0);
    FakeTools tools;
    tools.write(u"ffprobe"_s, u": > '%1'\nexec sleep 60"_s.arg(tools.path(u"probed"_s)));
    Converter converter(tools.folders());
    const QString input = scratch.path(u"in.mov"_s);
    target = scratch.path(target);
    QVERIFY(target.size() < PATH_MAX);

    std::future<Run> outcome = std::async(std::launch::async, [&] { return convert(converter, input, target); });

    QVERIFY2(outcome.wait_for(std::chrono::seconds(30)) == std::future_status::ready, "ffprobe was started");
    QCOMPARE(outcome.get().failure, message.replace(u"%1"_s, input).replace(u"%2"_s, target));
    QVERIFY(!QFile::exists(tools.path(u"probed"_s)));
}

QTEST_APPLESS_MAIN(ConverterToolsTest)
#include "tst_convertertools.moc"
