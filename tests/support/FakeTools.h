// Fake ffprobe and ffmpeg programs, written by a test into a folder of its
// own, for what a real ffmpeg cannot be made to do on demand.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <vector>

class FakeTools
{
public:
    FakeTools();

    std::filesystem::path folder() const { return m_dir.path().toStdString(); }
    std::vector<std::filesystem::path> folders() const { return { folder() }; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Writes an executable shell script named `name` running `body`.
    void write(const QString& name, const QString& body, bool executable = true) const;
    // An ffprobe that prints `report` and exits with `status`.
    void writeProbe(const QString& report, int status = 0) const;
    // An ffmpeg that records its arguments (one per line) in args.txt, runs
    // `body`, then, when `status` is 0, writes as its output (the last
    // argument) the smallest whole MP4: one empty track, 1000 seconds long.
    void writeFfmpeg(const QString& body, int status = 0) const;
    // An empty file named `name` beside the tools: an input that exists, for
    // tools that never read it.
    QString movie(const QString& name = QStringLiteral("in.mov")) const;
    // The arguments the fake ffmpeg was last called with.
    QStringList recordedArguments() const;

private:
    QTemporaryDir m_dir;
};

// A ffprobe report of one video stream with the given members.
QString videoReport(const QString& codec, const QString& pixelFormat, const QString& transfer,
    const QString& duration);
