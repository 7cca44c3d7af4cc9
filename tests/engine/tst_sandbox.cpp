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
    QTemporaryDir home;
    FakeTools tools;
    for (const QString& name : { u"ffprobe"_s, u"ffmpeg"_s }) {
        QVERIFY(QFile::copy(QStringLiteral(HOSTILE_TOOL), tools.path(name)));
        QVERIFY(QFile::setPermissions(tools.path(name), QFile::ReadOwner | QFile::ExeOwner));
    }
    QFile privateKey(home.filePath(u"id_ed25519"_s));
    QVERIFY(privateKey.open(QIODevice::WriteOnly) && privateKey.write("secret") == 6);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address { AF_INET, 0, { htonl(INADDR_LOOPBACK) }, {} };
    socklen_t length = sizeof address;
    QVERIFY(::bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0
        && ::listen(listener, 4) == 0
        && ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("HOSTILE_PRIVATE", privateKey.fileName().toLocal8Bit());
    qputenv("HOSTILE_PORT", QByteArray::number(ntohs(address.sin_port)));
    qputenv("HOSTILE_RESERVE", QByteArray::number(Sandbox::addressSpaceCeiling() + (1ULL << 30)));
    const std::filesystem::path input = tools.movie(u"Trip.mov"_s).toStdString();
    Converter converter(tools.folders(), boxed ? Sandboxing::on : Sandboxing::off);
    const auto failureOf = [](const auto& work) {
        try {
            work();
        } catch (const ConversionFailure& failure) {
            return QString::fromUtf8(failure.what());
        }
        return QString();
    };

    // ffprobe gives a report only where it could not read the private key.
    const QString inspection = failureOf([&] { converter.inspect(input); });
    MovieInfo info;
    info.copyVideo = true;
    const QString conversion = failureOf([&] {
        converter.convert(input, info, scratch.path(u"Trip.mp4"_s).toStdString(),
            [](double, const std::string&) {});
    });
    qputenv("HOME", previousHome);
    ::close(listener);

    QCOMPARE(inspection, files ? QString() : QString::fromUtf8(ConversionFailure::noVideoTrack));
    const auto outcome
        = [](bool refused, const QString& error) { return refused ? error : u"ok"_s; };
    QCOMPARE(conversion.split(u'\n'),
        QStringList({ u"Conversion failed: read a private file: "_s + outcome(files, u"EACCES"_s),
            u"create a file beside the movie: "_s + outcome(files, u"EACCES"_s),
            u"write into the movie: "_s + outcome(files, u"EACCES"_s),
            u"create a file at home: "_s + outcome(files, u"EACCES"_s),
            u"connect to 127.0.0.1: "_s + outcome(network, u"EACCES"_s),
            u"execute /bin/sh: "_s + outcome(files, u"EACCES"_s),
            u"reserve memory past the ceiling: "_s + outcome(boxed, u"ENOMEM"_s),
            u"write its output: ok"_s, QString() }));
    QCOMPARE(QFile::exists(tools.path(u"planted"_s)), !files);
    QCOMPARE(scratch.files(), QStringList());
}

QTEST_APPLESS_MAIN(SandboxTest)
#include "tst_sandbox.moc"
