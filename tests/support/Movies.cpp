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

// Generates once; a half-written movie never has the final name, so tests
// running side by side just generate it twice.
QString generated(const QString& name, const QStringList& arguments)
{
    const QString folder = QStringLiteral(BRAMBLECREST_FIXTURES);
    const QString path = folder + u'/' + name;
    if (QFile::exists(path))
        return path;
    QDir().mkpath(folder);
    const QString partial
        = folder + u"/partial-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces) + u".mov"_s;
    runTool(u"/usr/bin/ffmpeg"_s,
        QStringList { u"-v"_s, u"error"_s, u"-nostdin"_s, u"-y"_s } + arguments + QStringList { partial });
    QFile::rename(partial, path);
    QFile::remove(partial);
    return path;
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

} // namespace movies
