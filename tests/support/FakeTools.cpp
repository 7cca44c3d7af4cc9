// Fake tools as /bin/sh scripts.
#include "FakeTools.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

FakeTools::FakeTools()
{
    QVERIFY2(m_dir.isValid(), "no temporary folder for the fake tools");
}

void FakeTools::write(const QString& name, const QString& body, bool executable) const
{
    QFile script(path(name));
    QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("#!/bin/sh\n" + body.toUtf8() + "\n");
    script.close();
    auto permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    QVERIFY(script.setPermissions(permissions));
}

void FakeTools::writeProbe(const QString& report, int status) const
{
    QFile file(path(u"report.json"_s));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(report.toUtf8());
    file.close();
    write(u"ffprobe"_s,
        u"cat '%1'\nexit %2"_s.arg(file.fileName()).arg(status));
}

void FakeTools::writeFfmpeg(const QString& body, int status) const
{
    const QString record = u"for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done > '%1'\n"
                           u"for last in \"$@\"; do :; done\n"_s.arg(path(u"args.txt"_s));
    // ftyp, then moov holding mvhd (timescale 1, duration 1000) and one trak.
    const QString create = status == 0
        ? u"printf '\\0\\0\\0\\020ftypisom\\0\\0\\2\\0\\0\\0\\0\\174moov"
          u"\\0\\0\\0\\154mvhd%1\\0\\0\\0\\1\\0\\0\\3\\350%2\\0\\0\\0\\010trak' > \"$last\"\n"_s
              .arg(u"\\0"_s.repeated(12), u"\\0"_s.repeated(80))
        : QString();
    write(u"ffmpeg"_s, record + body + u"\n"_s + create + u"exit %1"_s.arg(status));
}

QString FakeTools::movie(const QString& name) const
{
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(file.fileName()));
    return file.fileName();
}

QStringList FakeTools::recordedArguments() const
{
    QFile file(path(u"args.txt"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.chop(1);
    return text.split(u'\n');
}

QString videoReport(const QString& codec, const QString& pixelFormat, const QString& transfer,
    const QString& duration)
{
    return uR"({"streams":[{"codec_type":"video","codec_name":"%1","pix_fmt":"%2","color_transfer":"%3"}],"format":{"duration":"%4"}})"_s
        .arg(codec, pixelFormat, transfer, duration);
}
