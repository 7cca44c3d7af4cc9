// Movie fixtures generated with ffmpeg's lavfi test sources.
#include "Movies.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>
#include <QUuid>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace movies {
namespace {

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

const QString folder = QStringLiteral(BRAMBLECREST_FIXTURES);

// Makes the fixture `name` once with `make`, which writes the path it is
// given; a half-written movie never has the final name, so tests running
// side by side just make it twice.
template<typename Make>
QString made(const QString& name, const Make& make)
{
    const QString path = folder + u'/' + name;
    if (QFile::exists(path))
        return path;
    QDir().mkpath(folder);
    const QString partial
        = folder + u"/partial-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces) + u".mov"_s;
    make(partial);
    QFile::rename(partial, path);
    QFile::remove(partial);
    return path;
}

QString generated(const QString& name, const QStringList& arguments)
{
    return made(name, [&](const QString& partial) {
        runTool(u"/usr/bin/ffmpeg"_s,
            QStringList { u"-v"_s, u"error"_s, u"-nostdin"_s, u"-y"_s } + arguments + QStringList { partial });
    });
}

// `movie` with its `nth` AAC track (from 0) turned into one that ffmpeg has no
// decoder for: its sample description's type becomes "apac", and the esds box
// that would still tell AAC gets a name nothing reads.
QString withUnreadableAudio(const QString& name, const QString& movie, int nth)
{
    return made(name, [&](const QString& partial) {
        QFile source(movie), target(partial);
        if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly))
            qFatal("cannot edit %s", qPrintable(movie));
        QByteArray bytes = source.readAll();
        qsizetype stsd = -1;
        for (int found = -1; found < nth;) {
            if ((stsd = bytes.indexOf("stsd", stsd + 1)) < 0)
                qFatal("%s has no AAC track %d", qPrintable(movie), nth);
            // type, version and flags, entry count, the first entry's size
            found += bytes.mid(stsd + 16, 4) == "mp4a";
        }
        bytes.replace(stsd + 16, 4, "apac");
        bytes.replace(bytes.indexOf("esds", stsd), 4, "xpac");
        target.write(bytes);
    });
}

const QStringList testPicture(const QString& size, int seconds)
{
    return { u"-f"_s, u"lavfi"_s, u"-i"_s,
        u"testsrc2=size=%1:rate=25:duration=%2"_s.arg(size).arg(seconds) };
}

// Noise, so the AAC encoder has to spend the whole bit rate it is given.
const QStringList testTone(int seconds)
{
    return { u"-f"_s, u"lavfi"_s, u"-i"_s, u"anoisesrc=duration=%1:color=pink"_s.arg(seconds) };
}

QStringList hdrTagged(const QString& transfer)
{
    return testPicture(u"320x240"_s, 1)
        + QStringList { u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-color_trc"_s,
              transfer, u"-color_primaries"_s, u"bt2020"_s, u"-colorspace"_s, u"bt2020nc"_s };
}

} // namespace

QString h264()
{
    return generated(u"h264.mov"_s,
        testPicture(u"320x240"_s, 2) + testTone(2)
            + QStringList { u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-c:a"_s,
                u"aac"_s, u"-shortest"_s });
}

QString prores()
{
    return generated(u"prores.mov"_s,
        testPicture(u"321x241"_s, 2) + testTone(2)
            + QStringList { u"-c:v"_s, u"prores_ks"_s, u"-c:a"_s, u"pcm_s16le"_s, u"-shortest"_s });
}

QString silent()
{
    return generated(u"silent.mov"_s,
        testPicture(u"320x240"_s, 1)
            + QStringList { u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s });
}

QString pq()
{
    return generated(u"pq.mov"_s, hdrTagged(u"smpte2084"_s));
}

QString hlg()
{
    return generated(u"hlg.mov"_s, hdrTagged(u"arib-std-b67"_s));
}

QString slowEncode()
{
    return generated(u"slow.mov"_s,
        testPicture(u"1280x720"_s, 10)
            + QStringList { u"-c:v"_s, u"prores_ks"_s, u"-profile:v"_s, u"0"_s });
}

QString faststart()
{
    return generated(u"faststart.mov"_s,
        testPicture(u"320x240"_s, 10) + testTone(10)
            + QStringList { u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-c:a"_s,
                u"aac"_s, u"-shortest"_s, u"-movflags"_s, u"+faststart"_s });
}

QString longCopy()
{
    // Few frames, so the copy's time goes into the audio, which is encoded anew.
    return generated(u"longcopy.mov"_s,
        QStringList { u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc2=size=320x240:rate=5:duration=30"_s }
            + testTone(30)
            + QStringList { u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-c:a"_s,
                u"aac"_s, u"-shortest"_s });
}

QString phone(const QString& videoCodec)
{
    const QString plain = generated(u"phone-plain-%1.mov"_s.arg(videoCodec),
        testPicture(u"320x240"_s, 2) + testTone(2)
            + QStringList { u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=duration=2"_s, u"-map"_s, u"0"_s,
                u"-map"_s, u"1"_s, u"-map"_s, u"2"_s, u"-c:v"_s, videoCodec, u"-pix_fmt"_s,
                videoCodec == u"libx264"_s ? u"yuv420p"_s : u"yuv422p10le"_s, u"-c:a"_s, u"aac"_s });
    // ffmpeg 5.1 turns a "rotate" key into a rotation only when it copies.
    QStringList tagging { u"-i"_s, plain, u"-map"_s, u"0"_s, u"-c"_s, u"copy"_s,
        u"-metadata:s:v"_s, u"rotate=90"_s, u"-timecode"_s, u"01:00:00:00"_s, u"-movflags"_s,
        u"use_metadata_tags"_s };
    const QString prefix = u"com.apple.quicktime."_s;
    for (const QString& tag : { u"creation_time=2025-06-01T10:20:30.000000Z"_s,
             prefix + u"location.ISO6709=+48.8584+002.2945+035.000/"_s, prefix + u"make=Apple"_s,
             prefix + u"model=iPhone 15 Pro"_s, prefix + u"software=17.5"_s,
             prefix + u"creationdate=2025-06-01T12:20:30+0200"_s })
        tagging << u"-metadata"_s << tag;
    return withUnreadableAudio(u"phone-%1.mov"_s.arg(videoCodec),
        generated(u"phone-tagged-%1.mov"_s.arg(videoCodec), tagging), 1);
}

QString unreadableSound()
{
    return withUnreadableAudio(u"unreadable-sound.mov"_s, h264(), 0);
}

QString undecodableVideo()
{
    return made(u"undecodable-video.mov"_s, [](const QString& partial) {
        copyDamaged(h264(), partial, "avc1", 0, "zzzz"); // the sample description's type
    });
}

QString surround()
{
    return generated(u"surround.mov"_s,
        testPicture(u"320x240"_s, 1)
            + QStringList { u"-f"_s, u"lavfi"_s, u"-i"_s, u"anullsrc=cl=5.1(side):d=1"_s,
                u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-c:a"_s, u"pcm_s16le"_s });
}

QString hlgInFrames()
{
    return generated(u"hlg-sei.mov"_s,
        testPicture(u"320x240"_s, 1)
            + QStringList { u"-c:v"_s, u"libx265"_s, u"-x265-params"_s,
                u"atc-sei=18:log-level=error"_s, u"-pix_fmt"_s, u"yuv420p10le"_s,
                u"-color_trc"_s, u"bt2020-10"_s, u"-color_primaries"_s, u"bt2020"_s,
                u"-colorspace"_s, u"bt2020nc"_s, u"-tag:v"_s, u"hvc1"_s });
}

QString longText()
{
    return generated(u"longtext.mov"_s,
        testPicture(u"320x240"_s, 3) + testTone(3)
            + QStringList { u"-f"_s, u"srt"_s, u"-i"_s,
                u"data:,1\n00:00:05,000 --> 00:00:06,000\nBye\n"_s, u"-c:v"_s, u"libx264"_s,
                u"-pix_fmt"_s, u"yuv420p"_s, u"-c:a"_s, u"aac"_s, u"-c:s"_s, u"mov_text"_s });
}

QString camera()
{
    return generated(u"camera.mov"_s,
        testPicture(u"320x180"_s, 3)
            + QStringList { u"-vf"_s, u"fps=30,select='mod(n+4\\,7)'"_s, u"-fps_mode"_s, u"vfr"_s,
                u"-c:v"_s, u"libx264"_s, u"-bf"_s, u"2"_s, u"-pix_fmt"_s, u"yuv420p"_s,
                u"-video_track_timescale"_s, u"600"_s, u"-metadata"_s,
                u"location=+40.6892-074.0445+10.000/"_s });
}

QString variableRate()
{
    return generated(u"variable-rate.mov"_s,
        { u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc2=size=320x180:rate=30:duration=4"_s, u"-f"_s,
            u"lavfi"_s, u"-i"_s, u"sine=d=4"_s, u"-vf"_s,
            u"settb=1/600,setpts=20*N+20*floor(N/7)+5*mod(N\\,3)"_s, u"-fps_mode"_s,
            u"passthrough"_s, u"-enc_time_base:v"_s, u"1/600"_s, u"-video_track_timescale"_s,
            u"600"_s, u"-c:v"_s, u"libx264"_s, u"-bf"_s, u"0"_s, u"-pix_fmt"_s, u"yuv420p"_s,
            u"-c:a"_s, u"aac"_s });
}

QString trimmed(int first, int frames)
{
    const QString whole = generated(u"untrimmed.mov"_s,
        testPicture(u"320x240"_s, 3)
            + QStringList { u"-vf"_s, u"fps=30"_s, u"-c:v"_s, u"libx264"_s, u"-bf"_s, u"2"_s,
                u"-g"_s, u"10"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-timecode"_s, u"01:00:00:00"_s });
    return made(u"trimmed-%1-%2.mov"_s.arg(first).arg(frames), [&](const QString& partial) {
        QFile source(whole), target(partial);
        if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly))
            qFatal("cannot edit %s", qPrintable(whole));
        QByteArray bytes = source.readAll();
        // Version 0 boxes, the movie in 1/1000 s: the duration after the
        // type, then in the track header, then in each edit list's entry.
        const auto setAll = [&bytes](const QByteArray& type, int delta, quint32 value) {
            for (qsizetype at = bytes.indexOf(type); at >= 0; at = bytes.indexOf(type, at + 4))
                qToBigEndian(value, bytes.data() + at + delta);
        };
        const auto duration = quint32(frames * 100 / 3);
        setAll("mvhd", 20, duration);
        setAll("tkhd", 24, duration);
        setAll("elst", 12, duration);
        // The video comes first; its frames last 512 ticks.
        const qsizetype videoEdits = bytes.indexOf("elst");
        qToBigEndian(qFromBigEndian<quint32>(bytes.constData() + videoEdits + 16) + quint32(512 * first),
            bytes.data() + videoEdits + 16);
        target.write(bytes);
    });
}

QJsonObject probe(const QString& path)
{
    const QString json = runTool(u"/usr/bin/ffprobe"_s,
        { u"-v"_s, u"error"_s, u"-show_streams"_s, u"-show_format"_s, u"-of"_s, u"json"_s, path });
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

QJsonObject stream(const QJsonObject& report, const QString& type)
{
    for (const QJsonValue& value : report.value(u"streams"_s).toArray()) {
        if (value.toObject().value(u"codec_type"_s).toString() == type)
            return value.toObject();
    }
    return {};
}

QString videoCodec(const QString& path)
{
    return stream(probe(path), u"video"_s).value(u"codec_name"_s).toString();
}

QByteArray box(const QString& path, const QByteArray& type)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf(type) - 4;
    return at < 0 ? QByteArray() : bytes.mid(at, qFromBigEndian<quint32>(bytes.constData() + at));
}

qint64 atomOffset(const QString& path, const QByteArray& type)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 offset = 0;
    while (offset + 8 <= file.size()) {
        file.seek(offset);
        const QByteArray header = file.read(8);
        quint64 size = qFromBigEndian<quint32>(header.constData());
        if (size == 1) {
            const QByteArray large = file.read(8);
            size = qFromBigEndian<quint64>(large.constData());
        }
        if (header.mid(4, 4) == type)
            return offset;
        if (size < 8)
            return -1;
        offset += static_cast<qint64>(size);
    }
    return -1;
}

void copyTo(const QString& movie, const QString& path)
{
    QFile::remove(path);
    QVERIFY(QFile::copy(movie, path));
}

void copyCutShort(const QString& movie, const QString& path, int percent)
{
    QFile source(movie), target(path);
    QVERIFY(source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly | QIODevice::Truncate));
    target.write(source.read(source.size() * percent / 100));
}

void copyDamaged(const QString& movie, const QString& path, const QByteArray& marker, int delta,
    const QByteArray& bytes)
{
    QFile source(movie), target(path);
    QVERIFY(source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly));
    QByteArray contents = source.readAll();
    const qsizetype offset = contents.indexOf(marker) + delta;
    target.write(
        bytes.isEmpty() ? contents.left(offset) : contents.replace(offset, bytes.size(), bytes));
}

} // namespace movies
