// Conversions with the real ffprobe and ffmpeg: both paths, footage as phones
// and cameras write it, every QuickTime family and what only pretends to be
// one, the refusals, damaged movies, awkward names, an existing target and
// cancellation.
#include "ConversionFailure.h"
#include "Converter.h"
#include "Movies.h"
#include "Scratch.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <array>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

struct Report
{
    double fraction;
    std::string stage;
};

struct Recorder
{
    std::mutex lock;
    std::vector<Report> reports;

    Converter::Progress callback()
    {
        return [this](double fraction, const std::string& stage) {
            const std::lock_guard guard(lock);
            reports.push_back({ fraction, stage });
        };
    }
};

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(path.toStdString());
}

// The message a conversion throws, or the empty text when it succeeds.
QString failureOf(Converter& converter, const QString& input, const QString& output,
    const Converter::Progress& progress = [](double, const std::string&) { })
{
    try {
        converter.convert(fsPath(input), fsPath(output), progress);
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
    return {};
}

QByteArray videoPacketsHash(const QString& movie)
{
    QProcess ffmpeg;
    ffmpeg.start(u"/usr/bin/ffmpeg"_s,
        { u"-v"_s, u"error"_s, u"-i"_s, movie, u"-map"_s, u"0:v:0"_s, u"-c"_s, u"copy"_s, u"-f"_s,
            u"md5"_s, u"-"_s });
    ffmpeg.waitForFinished();
    return ffmpeg.readAllStandardOutput().trimmed();
}

// The pictures of the first video stream as ffmpeg shows them: a checksum
// and the time of each.
QByteArray decodedFrames(const QString& movie)
{
    QProcess ffmpeg;
    ffmpeg.start(u"/usr/bin/ffmpeg"_s,
        { u"-v"_s, u"error"_s, u"-i"_s, movie, u"-map"_s, u"0:v:0"_s, u"-f"_s, u"framemd5"_s, u"-"_s });
    ffmpeg.waitForFinished();
    return ffmpeg.readAllStandardOutput();
}

// ffprobe's `entries` of every video packet, a line each.
QByteArray videoPackets(const QString& movie, const QString& entries)
{
    QProcess ffprobe;
    ffprobe.start(u"/usr/bin/ffprobe"_s,
        { u"-v"_s, u"error"_s, u"-select_streams"_s, u"v:0"_s, u"-show_entries"_s,
            u"packet="_s + entries, u"-of"_s, u"csv=p=0"_s, movie });
    ffprobe.waitForFinished();
    return ffprobe.readAllStandardOutput().trimmed();
}

void verifyReports(const std::vector<Report>& reports, const std::string& stage)
{
    QVERIFY(reports.size() >= 2);
    QCOMPARE(reports.front().fraction, 0.0);
    QCOMPARE(reports.front().stage, stage);
    for (std::size_t i = 1; i + 1 < reports.size(); ++i) {
        QVERIFY(reports[i].fraction <= 0.99);
        QCOMPARE(reports[i].stage, stage);
    }
    QCOMPARE(reports.back().fraction, 1.0);
    QCOMPARE(reports.back().stage, std::string("Done"));
}

} // namespace

class ConverterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copiesCompatibleVideo();
    void encodesOtherVideo();
    void acceptsMovieWithoutAudio();
    void keepsWhatPhonesWrite_data();
    void keepsWhatPhonesWrite();
    void keepsSurroundWithItsLfe();
    void keepsWhatTheMovieShows_data();
    void keepsWhatTheMovieShows();
    void readsOnlyQuickTimeFamily_data();
    void readsOnlyQuickTimeFamily();
    void refusesUnconvertible_data();
    void refusesUnconvertible();
    void handlesAwkwardNames_data();
    void handlesAwkwardNames();
    void neverReplacesExistingFile();
    void refusesMovieCutShort_data();
    void refusesMovieCutShort();
    void refusesDamagedMovie_data();
    void refusesDamagedMovie();
    void reportsFfmpegFailureFromItsLog();
    void refusesUnreadableMovie();
    void cancelsDuringEncode();
    void cancelBeforeRunHoldsUntilReset();
};

void ConverterTest::copiesCompatibleVideo()
{
    const Scratch scratch;
    Converter converter;
    Recorder recorder;
    const QString output = scratch.path(u"Trip.mp4"_s);

    QCOMPARE(failureOf(converter, movies::h264(), output, recorder.callback()), QString());

    verifyReports(recorder.reports, "Copying compatible video");
    QVERIFY(recorder.reports.size() > 2); // a 2 s movie gives progress lines on the way
    const QJsonObject report = movies::probe(output);
    const QJsonObject video = movies::stream(report, u"video"_s);
    QCOMPARE(video.value(u"codec_name"_s).toString(), u"h264"_s);
    QCOMPARE(video.value(u"pix_fmt"_s).toString(), u"yuv420p"_s);
    QCOMPARE(videoPacketsHash(output), videoPacketsHash(movies::h264()));
    const QJsonObject audio = movies::stream(report, u"audio"_s);
    QCOMPARE(audio.value(u"codec_name"_s).toString(), u"aac"_s);
    const int bitRate = audio.value(u"bit_rate"_s).toString().toInt();
    // 192k asked; the encoder lands near it (ffmpeg's own default would be far below).
    QVERIFY2(bitRate > 160000 && bitRate < 230000, qPrintable(QString::number(bitRate)));
    // +faststart: the index comes before the media data.
    QVERIFY(movies::atomOffset(output, "moov") >= 0);
    QVERIFY(movies::atomOffset(output, "moov") < movies::atomOffset(output, "mdat"));
    QCOMPARE(scratch.files(), QStringList { u"Trip.mp4"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterTest::encodesOtherVideo()
{
    const Scratch scratch;
    Converter converter;
    Recorder recorder;
    const QString output = scratch.path(u"Odd.mp4"_s);

    QCOMPARE(failureOf(converter, movies::prores(), output, recorder.callback()), QString());

    verifyReports(recorder.reports, "Encoding H.264 video");
    const QJsonObject report = movies::probe(output);
    const QJsonObject video = movies::stream(report, u"video"_s);
    QCOMPARE(video.value(u"codec_name"_s).toString(), u"h264"_s);
    QCOMPARE(video.value(u"pix_fmt"_s).toString(), u"yuv420p"_s);
    QCOMPARE(video.value(u"width"_s).toInt(), 320); // 321 x 241 rounded down to even
    QCOMPARE(video.value(u"height"_s).toInt(), 240);
    QCOMPARE(movies::stream(report, u"audio"_s).value(u"codec_name"_s).toString(), u"aac"_s);
    QCOMPARE(scratch.files(), QStringList { u"Odd.mp4"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterTest::acceptsMovieWithoutAudio()
{
    const Scratch scratch;
    Converter converter;
    const QString output = scratch.path(u"Silent.mp4"_s);

    QCOMPARE(failureOf(converter, movies::silent(), output), QString());

    const QJsonObject report = movies::probe(output);
    QCOMPARE(movies::stream(report, u"video"_s).value(u"codec_name"_s).toString(), u"h264"_s);
    QVERIFY(movies::stream(report, u"audio"_s).isEmpty());
}

void ConverterTest::keepsWhatPhonesWrite_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<int>("rotation"); // of the written picture
    QTest::addColumn<int>("width");
    QTest::newRow("copy") << movies::phone(u"libx264"_s) << 90 << 320;
    // ffmpeg turns an encoded picture upright.
    QTest::newRow("encode") << movies::phone(u"prores_ks"_s) << 0 << 240;
}

void ConverterTest::keepsWhatPhonesWrite()
{
    QFETCH(QString, movie);
    QFETCH(int, rotation);
    QFETCH(int, width);
    const Scratch scratch;
    Converter converter;
    const QString output = scratch.path(u"Phone.mp4"_s);
    // Accessed and modified a year ago or more, to the nanosecond.
    const QString copy = scratch.path(u"Phone.mov"_s);
    movies::copyTo(movie, copy);
    const std::array<timespec, 2> dated { timespec { 1719900000, 123456789 }, timespec { 1688300000, 987654321 } };
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(copy).constData(), dated.data(), 0), 0);

    QCOMPARE(failureOf(converter, copy, output), QString());

    struct stat written;
    QCOMPARE(::stat(QFile::encodeName(output).constData(), &written), 0); // before anything reads it
    QCOMPARE(std::pair(written.st_atim.tv_sec, written.st_atim.tv_nsec), std::pair(dated[0].tv_sec, dated[0].tv_nsec));
    QCOMPARE(std::pair(written.st_mtim.tv_sec, written.st_mtim.tv_nsec), std::pair(dated[1].tv_sec, dated[1].tv_nsec));
    const QJsonObject source = movies::probe(movie), report = movies::probe(output);
    QStringList kinds; // the unreadable sound is left out, the timecode kept
    for (const QJsonValue& stream : report.value(u"streams"_s).toArray())
        kinds << stream[u"codec_type"_s].toString() + u' ' + stream[u"codec_tag_string"_s].toString();
    QCOMPARE(kinds, QStringList({ u"video avc1"_s, u"audio mp4a"_s, u"data tmcd"_s }));
    QCOMPARE(movies::stream(report, u"audio"_s)[u"sample_rate"_s], u"48000"_s); // the first track
    const QJsonObject video = movies::stream(report, u"video"_s);
    QCOMPARE(video[u"side_data_list"_s][0][u"rotation"_s].toInt(), rotation);
    QCOMPARE(video[u"width"_s].toInt(), width);
    // The date in the track headers as well as in the movie's keys.
    QCOMPARE(video[u"tags"_s][u"creation_time"_s], u"2025-06-01T10:20:30.000000Z"_s);
    const QJsonObject tags = report[u"format"_s][u"tags"_s].toObject();
    QCOMPARE(tags[u"major_brand"_s], u"isom"_s);
    const QJsonObject sourceTags = source[u"format"_s][u"tags"_s].toObject();
    for (const QString& key : { u"creation_time"_s, u"com.apple.quicktime.location.ISO6709"_s,
             u"com.apple.quicktime.make"_s, u"com.apple.quicktime.model"_s,
             u"com.apple.quicktime.software"_s, u"com.apple.quicktime.creationdate"_s }) {
        QVERIFY2(!tags[key].toString().isEmpty(), qPrintable(key));
        QCOMPARE(tags[key], sourceTags[key]);
    }
}

void ConverterTest::keepsSurroundWithItsLfe()
{
    const Scratch scratch;
    Converter converter;
    const QString output = scratch.path(u"Surround.mp4"_s);

    QCOMPARE(failureOf(converter, movies::surround(), output), QString());

    // The standard AAC configuration: ffmpeg reads no layout from any other.
    QCOMPARE(movies::stream(movies::probe(output), u"audio"_s)[u"channel_layout"_s], u"5.1"_s);
}

void ConverterTest::keepsWhatTheMovieShows_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QString>("place"); // Apple's key in the MP4
    QTest::newRow("B-frames, time scale 600, every 7th frame dropped, classic place")
        << movies::camera() << u"+40.6892-074.0445+10.000/"_s;
    QTest::newRow("variable rate, the last frame shorter") << movies::variableRate() << QString();
    QTest::newRow("trimmed at the end") << movies::trimmed(0, 87) << QString();
    QTest::newRow("trimmed at both ends") << movies::trimmed(5, 81) << QString();
}

void ConverterTest::keepsWhatTheMovieShows()
{
    // The same packets at the same times, each lasting as long as the movie's
    // own table says, the last one included; the same pictures shown from the
    // same start to the same end.
    QFETCH(QString, movie);
    QFETCH(QString, place);
    const Scratch scratch;
    Converter converter;
    const QString output = scratch.path(u"Shown.mp4"_s);

    QCOMPARE(failureOf(converter, movie, output), QString());

    QCOMPARE(videoPacketsHash(output), videoPacketsHash(movie));
    const QString times = u"pts_time,dts_time"_s;
    QCOMPARE(videoPackets(output, times), videoPackets(movie, times));
    QCOMPARE(movies::box(output, "stts"), movies::box(movie, "stts"));
    QCOMPARE(decodedFrames(output), decodedFrames(movie));
    const QJsonObject source = movies::probe(movie), report = movies::probe(output);
    for (const QString& key : { u"avg_frame_rate"_s, u"duration"_s, u"nb_frames"_s })
        QCOMPARE(movies::stream(report, u"video"_s)[key], movies::stream(source, u"video"_s)[key]);
    QCOMPARE(report[u"format"_s][u"duration"_s], source[u"format"_s][u"duration"_s]);
    QCOMPARE(report[u"format"_s][u"tags"_s][u"com.apple.quicktime.location.ISO6709"_s].toString(), place);
}

void ConverterTest::readsOnlyQuickTimeFamily_data()
{
    // The file is written by ffmpeg from movies::h264() with `remux` (then its
    // first box renamed to `firstBox`), or holds `text`, where %1 is the
    // folder of a private movie.
    QTest::addColumn<QStringList>("remux");
    QTest::addColumn<QByteArray>("firstBox");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("converts");
    const auto remuxed = [](const char* name, const QStringList& format, bool converts,
                             const QByteArray& firstBox = {}) {
        QTest::newRow(name) << QStringList { u"-c"_s, u"copy"_s, u"-f"_s } + format << firstBox
                            << QByteArray() << converts;
    };
    const auto written = [](const char* name, const QByteArray& text) {
        QTest::newRow(name) << QStringList() << QByteArray() << text << false;
    };
    remuxed("MP4, index at the end", { u"mp4"_s }, true);
    remuxed("MP4, index at the front", { u"mp4"_s, u"-movflags"_s, u"+faststart"_s }, true);
    remuxed("fragmented MP4", { u"mp4"_s, u"-movflags"_s, u"frag_keyframe+empty_moov"_s }, true);
    remuxed("M4V", { u"ipod"_s }, true);
    remuxed("3GP", { u"3gp"_s }, true);
    remuxed("MOV without a file type box", { u"mov"_s }, true, "free");
    // Each would make ffmpeg's own choice of reader convert the private movie.
    const QByteArray playlist
        = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:1,\n%2\n#EXT-X-ENDLIST\n";
    written("HLS, relative segment", QByteArray(playlist).replace("%2", "../private/clip.ts"));
    written("HLS, absolute segment", QByteArray(playlist).replace("%2", "%1/private/clip.ts"));
    written("HLS, file URL", QByteArray(playlist).replace("%2", "file:%1/private/clip.ts"));
    written("ffconcat, a movie beside it", "ffconcat version 1.0\nfile 'IMG_0002.MOV'\n");
    written("DASH manifest",
        R"(<?xml version="1.0"?><MPD xmlns="urn:mpeg:dash:schema:mpd:2011" type="static">)"
        R"(<Period><AdaptationSet mimeType="video/mp4"><Representation id="1" bandwidth="1">)"
        R"(<BaseURL>../private/clip.mp4</BaseURL></Representation></AdaptationSet></Period></MPD>)");
    remuxed("Matroska", { u"matroska"_s }, false);
    remuxed("MPEG-TS", { u"mpegts"_s }, false);
    remuxed("PNG picture", { u"image2"_s, u"-frames:v"_s, u"1"_s, u"-c:v"_s, u"png"_s }, false);
    remuxed("AVIF picture",
        { u"avif"_s, u"-frames:v"_s, u"1"_s, u"-an"_s, u"-c:v"_s, u"libaom-av1"_s,
            u"-still-picture"_s, u"1"_s },
        false);
}

void ConverterTest::readsOnlyQuickTimeFamily()
{
    QFETCH(QStringList, remux);
    QFETCH(QByteArray, firstBox);
    QFETCH(QByteArray, text);
    QFETCH(bool, converts);
    const Scratch scratch;
    const auto ffmpeg = [](const QStringList& arguments) {
        QProcess process;
        process.start(u"/usr/bin/ffmpeg"_s,
            QStringList { u"-v"_s, u"error"_s, u"-i"_s, movies::h264() } + arguments);
        return process.waitForFinished(60000) && process.exitCode() == 0;
    };
    QVERIFY(
        QDir(scratch.folder()).mkpath(u"private"_s) && QDir(scratch.folder()).mkpath(u"card"_s));
    QVERIFY(ffmpeg({ u"-c"_s, u"copy"_s, scratch.path(u"private/clip.ts"_s) }));
    QVERIFY(ffmpeg({ u"-c"_s, u"copy"_s, scratch.path(u"private/clip.mp4"_s) }));
    movies::copyTo(movies::h264(), scratch.path(u"card/IMG_0002.MOV"_s));
    const QString movie = scratch.path(u"card/Clip.mov"_s),
                  output = scratch.path(u"card/Clip.mp4"_s);
    QFile file(movie);
    if (!remux.isEmpty()) {
        QVERIFY(ffmpeg(remux << movie));
        QVERIFY(firstBox.isEmpty()
            || (file.open(QIODevice::ReadWrite) && file.seek(4) && file.write(firstBox) == 4));
    } else {
        QVERIFY(file.open(QIODevice::WriteOnly)
            && file.write(text.replace("%1", scratch.folder().toUtf8())) > 0);
    }
    file.close();
    Converter converter;
    Recorder recorder;

    const QString failure = failureOf(converter, movie, output, recorder.callback());

    if (converts) {
        QCOMPARE(failure, QString());
        QCOMPARE(videoPacketsHash(output), videoPacketsHash(movies::h264()));
    } else {
        QCOMPARE(failure, u"This file is not a QuickTime movie, so it cannot be converted."_s);
        QVERIFY(recorder.reports.empty());
        QVERIFY(!QFile::exists(output));
    }
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterTest::refusesUnconvertible_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QString>("message");
    const QString hdr = u"This is HDR footage. Use a color-managed HDR-to-SDR export before "
                        u"converting with Bramblecrest."_s;
    QTest::newRow("PQ") << movies::pq() << hdr;
    QTest::newRow("HLG") << movies::hlg() << hdr;
    QTest::newRow("HLG in the frames only") << movies::hlgInFrames() << hdr;
    QTest::newRow("no sound ffmpeg can read")
        << movies::unreadableSound()
        << u"The sound of this movie is in a format that FFmpeg on this computer cannot read. "
           u"Nothing was converted."_s;
}

void ConverterTest::refusesUnconvertible()
{
    QFETCH(QString, movie);
    QFETCH(QString, message);
    const Scratch scratch;
    Converter converter;
    Recorder recorder;

    QCOMPARE(failureOf(converter, movie, scratch.path(u"Out.mp4"_s), recorder.callback()), message);
    QVERIFY(recorder.reports.empty());
    QCOMPARE(scratch.files(), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterTest::handlesAwkwardNames_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::newRow("spaces") << u"My Summer Trip.mov"_s << u"My Summer Trip.mp4"_s;
    QTest::newRow("colon") << u"file:trip.mov"_s << u"http:trip.mp4"_s;
    QTest::newRow("non-ASCII") << u"Fahrräder – Ölberg 東京.mov"_s << u"Fahrräder – Ölberg 東京.mp4"_s;
    QTest::newRow("leading dash") << u"-i.mov"_s << u"-y.mp4"_s;
    QTest::newRow("quotes and dollar") << u"it's \"$HOME\".mov"_s << u"it's \"$HOME\".mp4"_s;
}

void ConverterTest::handlesAwkwardNames()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    const Scratch scratch;
    movies::copyTo(movies::h264(), scratch.path(source));
    Converter converter;

    QCOMPARE(failureOf(converter, scratch.path(source), scratch.path(target)), QString());

    QCOMPARE(movies::videoCodec(scratch.path(target)),
        u"h264"_s);
    QStringList expected { source, target };
    expected.sort();
    QCOMPARE(scratch.files(), expected);
}

void ConverterTest::neverReplacesExistingFile()
{
    const Scratch scratch;
    const QString output = scratch.path(u"Trip.mp4"_s);
    {
        QFile existing(output);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("precious");
    }
    Converter converter;
    Recorder recorder;

    bool platformError = false;
    try {
        converter.convert(fsPath(movies::h264()), fsPath(output), recorder.callback());
    } catch (const ConversionFailure&) {
    } catch (const std::system_error& error) {
        platformError = true;
        QCOMPARE(QString::fromUtf8(error.what()),
            u"Could not move the converted movie to \"%1\": File exists"_s.arg(output));
    }
    QVERIFY(platformError);

    QVERIFY(recorder.reports.empty()); // refused before ffmpeg ran for nothing
    QFile existing(output);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("precious"));
    QCOMPARE(scratch.files(), QStringList { u"Trip.mp4"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterTest::refusesMovieCutShort_data()
{
    QTest::addColumn<int>("percent"); // 100: whole, its text track 3 s longer than the rest
    QTest::newRow("10 %") << 10;
    QTest::newRow("50 %") << 50;
    QTest::newRow("90 %") << 90;
    QTest::newRow("text outlasting the picture") << 100;
}

void ConverterTest::refusesMovieCutShort()
{
    // The index at the front still describes all 10 seconds; ffmpeg converts
    // what is there and exits 0.
    QFETCH(int, percent);
    const Scratch scratch;
    movies::copyCutShort(percent < 100 ? movies::faststart() : movies::longText(),
        scratch.path(u"Cut.mov"_s), percent);
    Converter converter;
    Recorder recorder;

    const QString failure
        = failureOf(converter, scratch.path(u"Cut.mov"_s), scratch.path(u"Cut.mp4"_s), recorder.callback());
    if (percent == 100) {
        QCOMPARE(failure, QString());
        QCOMPARE(recorder.reports.back().stage, std::string("Done"));
        return;
    }

    const QRegularExpression message(u"^The movie ends early: only (\\d+\\.\\d) of 10\\.0 seconds could be "
                                     u"read\\. Check that the MOV is complete and playable\\.$"_s);
    const QRegularExpressionMatch match = message.match(failure);
    QVERIFY2(match.hasMatch(), qPrintable(failure));
    QVERIFY(match.captured(1).toDouble() < 10.0 * (percent + 5) / 100);
    QVERIFY(recorder.reports.back().stage != "Done");
    QCOMPARE(scratch.files(), QStringList { u"Cut.mov"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterTest::refusesDamagedMovie_data()
{
    QTest::addColumn<QByteArray>("marker"); // damaged from `delta` bytes after it on
    QTest::addColumn<int>("delta");
    QTest::addColumn<QByteArray>("bytes"); // empty: the file ends there
    QTest::newRow("cut in its first frame") << QByteArray("mdat") << 196 << QByteArray();
    QTest::newRow("no sample sizes") << QByteArray("stsz") << 0 << QByteArray("xxxx");
    QTest::newRow("no decoder setup") << QByteArray("avcC") << 4 << QByteArray(32, '\0');
}

void ConverterTest::refusesDamagedMovie()
{
    QFETCH(QByteArray, marker);
    QFETCH(int, delta);
    QFETCH(QByteArray, bytes);
    const Scratch scratch;
    const QString movie = scratch.path(u"Damaged.mov"_s);
    movies::copyDamaged(movies::faststart(), movie, marker, delta, bytes);
    Converter converter;

    QCOMPARE(failureOf(converter, movie, scratch.path(u"Damaged.mp4"_s)),
        u"This movie is damaged or incomplete, so it cannot be converted."_s);
    QCOMPARE(scratch.files(), QStringList { u"Damaged.mov"_s });
}

void ConverterTest::reportsFfmpegFailureFromItsLog()
{
    const Scratch scratch;
    Converter converter;

    // ffprobe sees a video stream that ffmpeg has no decoder for.
    const QString failure
        = failureOf(converter, movies::undecodableVideo(), scratch.path(u"Trip.mp4"_s));

    QVERIFY2(failure.startsWith(u"Conversion failed: "_s), qPrintable(failure));
    QVERIFY2(failure.contains(u"not found"_s), qPrintable(failure));
    QVERIFY(failure.endsWith(u'\n'));
    QCOMPARE(scratch.files(), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList());
    // The hidden output cannot be made in a folder that does not exist.
    const QString missing = scratch.path(u"missing/Trip.mp4"_s);
    QCOMPARE(failureOf(converter, movies::h264(), missing),
        u"Could not write the converted movie to \"%1\": No such file or directory"_s.arg(missing));
}

void ConverterTest::refusesUnreadableMovie()
{
    const Scratch scratch;
    Converter converter;
    {
        // It starts as a QuickTime movie does.
        QFile broken(scratch.path(u"Broken.mov"_s));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray("\0\0\0\x10" "ftypqt  \0\0\0\0" "this is not a movie", 35));
    }

    QCOMPARE(failureOf(converter, scratch.path(u"Broken.mov"_s), scratch.path(u"Out.mp4"_s)),
        u"Could not read a video track. Check that the MOV is complete and playable."_s);
    QCOMPARE(failureOf(converter, scratch.path(u"Absent.mov"_s), scratch.path(u"Out.mp4"_s)),
        u"Could not open \"%1\": No such file or directory"_s.arg(scratch.path(u"Absent.mov"_s)));
    QCOMPARE(scratch.files(), QStringList { u"Broken.mov"_s });
}

void ConverterTest::cancelsDuringEncode()
{
    const Scratch scratch;
    const QString output = scratch.path(u"Slow.mp4"_s);
    const QString movie = movies::slowEncode();
    Converter converter;
    Recorder recorder;
    std::promise<void> encoding;
    bool signalled = false;
    const Converter::Progress progress = [&](double fraction, const std::string& stage) {
        recorder.callback()(fraction, stage);
        if (fraction > 0 && !signalled) {
            signalled = true;
            encoding.set_value();
        }
    };

    std::future<QString> outcome = std::async(std::launch::async,
        [&] { return failureOf(converter, movie, output, progress); });
    QVERIFY(encoding.get_future().wait_for(std::chrono::minutes(2)) == std::future_status::ready);
    converter.cancel();
    QVERIFY(outcome.wait_for(std::chrono::minutes(1)) == std::future_status::ready);

    QCOMPARE(outcome.get(), u"Cancelled"_s);
    QVERIFY(converter.isCancelled());
    for (const Report& report : recorder.reports)
        QVERIFY(report.stage != "Done");
    QCOMPARE(scratch.files(), QStringList());
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void ConverterTest::cancelBeforeRunHoldsUntilReset()
{
    const Scratch scratch;
    Converter converter;
    converter.cancel();
    QVERIFY(converter.isCancelled());

    QCOMPARE(failureOf(converter, movies::h264(), scratch.path(u"A.mp4"_s)), u"Cancelled"_s);
    // Cancellation is checked before the HDR refusal.
    QCOMPARE(failureOf(converter, movies::pq(), scratch.path(u"B.mp4"_s)), u"Cancelled"_s);
    QCOMPARE(scratch.files(), QStringList());

    converter.reset();
    QVERIFY(!converter.isCancelled());
    QCOMPARE(failureOf(converter, movies::h264(), scratch.path(u"A.mp4"_s)), QString());
    QCOMPARE(scratch.files(), QStringList { u"A.mp4"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

QTEST_APPLESS_MAIN(ConverterTest)
#include "tst_converter.moc"
