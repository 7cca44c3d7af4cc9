// The box around ffprobe and ffmpeg, through the converter's own child
// processes: a hostile stand-in tries what an exploited decoder would, in
// the box and without it.
#include "ConversionFailure.h"
#include "Converter.h"
#include "FakeTools.h"
#include "Sandbox.h"
#include "Scratch.h"

#include <QFile>
#include <QTest>
#include <arpa/inet.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

class SandboxTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void confinesHostileTool_data();
    void confinesHostileTool();
};

void SandboxTest::confinesHostileTool_data()
{
    QTest::addColumn<bool>("boxed");
    QTest::newRow("in the box") << true;
    QTest::newRow("without the box") << false;
}

void SandboxTest::confinesHostileTool()
{
    QFETCH(bool, boxed);
    const QString kernel = QString::fromStdString(Sandbox::description());
    const bool landlock = kernel.contains(u"Landlock"_s), seccomp = kernel.contains(u"seccomp"_s);
    if (!landlock && !seccomp)
        QSKIP(qPrintable(u"The box cannot be tested: "_s + kernel));
    const bool files = boxed && landlock;
    const bool network = boxed && (seccomp || kernel.contains(u"(files, network"_s));

    const Scratch scratch;
    QTemporaryDir home, elsewhere;
    FakeTools tools;
    for (const QString& name : { u"ffprobe"_s, u"ffmpeg"_s }) {
        QVERIFY(QFile::copy(QStringLiteral(HOSTILE_TOOL), tools.path(name)));
        QVERIFY(QFile::setPermissions(tools.path(name), QFile::ReadOwner | QFile::ExeOwner));
    }
    QFile privateFile(elsewhere.filePath(u"id_ed25519"_s));
    QVERIFY(privateFile.open(QIODevice::WriteOnly) && privateFile.write("secret") == 6);
    privateFile.close();
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::listen(listener, 4) == 0
        && ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("HOSTILE_PRIVATE", privateFile.fileName().toLocal8Bit());
    qputenv("HOSTILE_PORT", QByteArray::number(ntohs(address.sin_port)));
    qputenv("HOSTILE_RESERVE",
        QByteArray::number(qulonglong(Sandbox::addressSpaceCeiling() + (1ULL << 30))));
    QFile(scratch.path(u"Trip.mov"_s)).open(QIODevice::WriteOnly);
    const std::filesystem::path input = scratch.path(u"Trip.mov"_s).toStdString();
    Converter converter(tools.folders(), boxed ? Sandboxing::on : Sandboxing::off);

    // ffprobe gives a report only where it could not read the private file.
    QString inspection;
    try {
        converter.inspect(input);
    } catch (const ConversionFailure& failure) {
        inspection = QString::fromUtf8(failure.what());
    }
    QString conversion;
    try {
        MovieInfo info;
        info.copyVideo = true;
        converter.convert(input, info, scratch.path(u"Trip.mp4"_s).toStdString(),
            [](double, const std::string&) {});
    } catch (const ConversionFailure& failure) {
        conversion = QString::fromUtf8(failure.what());
    }
    qputenv("HOME", previousHome);
    ::close(listener);

    QCOMPARE(inspection, files ? QString() : QString::fromUtf8(ConversionFailure::noVideoTrack));
    const auto outcome = [](bool refused, const char* error) {
        return refused ? QString::fromUtf8(error) : u"ok"_s;
    };
    QCOMPARE(conversion.split(u'\n'),
        QStringList({ u"Conversion failed: read a private file: "_s + outcome(files, "EACCES"),
            u"create a file beside the movie: "_s + outcome(files, "EACCES"),
            u"write into the movie: "_s + outcome(files, "EACCES"),
            u"create a file at home: "_s + outcome(files, "EACCES"),
            u"connect to 127.0.0.1: "_s + outcome(network, "EACCES"),
            u"execute /bin/sh: "_s + outcome(files, "EACCES"),
            u"reserve memory past the ceiling: "_s + outcome(boxed, "ENOMEM"),
            u"write its output: ok"_s, QString() }));
    const QStringList left
        = files ? QStringList { u"Trip.mov"_s } : QStringList { u"Trip.mov"_s, u"planted"_s };
    QCOMPARE(scratch.files(), left);
}

QTEST_APPLESS_MAIN(SandboxTest)
#include "tst_sandbox.moc"
