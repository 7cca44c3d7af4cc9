// Small movies made with ffmpeg's test sources, generated once per build tree,
// and a probe of what a conversion wrote.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace movies {

// Each returns the path of a generated movie, making it on first use.
QString h264();         // 320x240 H.264 yuv420p with AAC audio, 2 s: the copy path
QString prores();       // 321x241 ProRes 4:2:2 with PCM audio, 2 s: the encoding path
QString silent();       // 320x240 H.264 yuv420p without audio, 1 s
QString pq();           // H.264 tagged with the PQ transfer (smpte2084)
QString hlg();          // H.264 tagged with the HLG transfer (arib-std-b67)
QString slowEncode();   // 1280x720 ProRes, 10 s: an encode long enough to cancel
QString faststart();    // 320x240 H.264 with AAC, 10 s, index at the front: cut short, it still opens
QString longCopy();     // 320x240 H.264 yuv420p with AAC audio, 30 s: a copy that takes a while
// As phones write it: `videoCodec` (libx264 or prores_ks), an AAC track, a
// second in a format ffmpeg cannot decode (as Apple's spatial audio), the
// recording date, Apple's location and device keys, a rotation and a timecode.
QString phone(const QString& videoCodec);
QString unreadableSound();  // h264() with its only sound in a format ffmpeg cannot decode
QString undecodableVideo(); // h264() with its picture in a format ffmpeg cannot decode
QString surround();         // H.264 with 5.1 PCM as QuickTime's L R C LFE Ls Rs: 5.1(side)
QString hlgInFrames();      // HEVC 10-bit, BT.2020 transfer, HLG only in an SEI message
QString longText();         // H.264 and AAC of 3 s with a text track of 6 s
// H.264 with B-frames at 30 frames a second less every 7th, time scale 600,
// and the place as QuickTime's classic item: as cameras and programs write it.
QString camera();
// H.264 without B-frames at a variable rate, time scale 600, with AAC: its
// last frame lasts 20 ticks after a gap of 45.
QString variableRate();
// H.264 with B-frames (a key frame every 10th) and a timecode, 3 s at 30
// frames a second, as QuickTime trims a movie without encoding it anew: the
// edit lists show `frames` frames from frame `first` on, the headers as long.
QString trimmed(int first, int frames);

// ffprobe's streams and format of a file, as JSON.
QJsonObject probe(const QString& path);
// The codec of the first video stream of a file.
QString videoCodec(const QString& path);
// The first stream of the given codec_type, or an empty object.
QJsonObject stream(const QJsonObject& report, const QString& type);
// The first box of the given type anywhere in a file, whole, found by its name.
QByteArray box(const QString& path, const QByteArray& type);
// The byte offset of the first top-level atom of the given type, or -1.
qint64 atomOffset(const QString& path, const QByteArray& type);
// Copies a movie to a new name (so a test can use odd names).
void copyTo(const QString& movie, const QString& path);
// Copies the first `percent` % of a movie's bytes, as a pulled card or a broken copy leaves it.
void copyCutShort(const QString& movie, const QString& path, int percent);
// Copies a movie with `bytes` put in `delta` bytes after its first `marker`, or cut there.
void copyDamaged(const QString& movie, const QString& path, const QByteArray& marker, int delta,
    const QByteArray& bytes);

} // namespace movies
