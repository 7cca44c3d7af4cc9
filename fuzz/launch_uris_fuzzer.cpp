// The files a start of the program names, one argument a line, and the URIs
// a file manager hands to Open over D-Bus: every URL taken is a local file,
// and one handed over to a running instance arrives as the same file (its
// fragment may come back spelt otherwise: QUrl tells "#" from "%23" there).
#include "ApplicationService.h"
#include "LaunchRequest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

// A working folder with a movie and a folder in it, for relative arguments.
const QString& workingFolder()
{
    static const QTemporaryDir folder;
    static const bool made = QDir(folder.path()).mkdir(QStringLiteral("Card"))
        && QFile(folder.filePath(QStringLiteral("Trip.mov"))).open(QIODevice::WriteOnly);
    if (!made)
        std::abort();
    static const QString path = folder.path();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Neither an argument nor a D-Bus string can hold a NUL: it ends one too.
    const QByteArray input
        = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
              .replace('\0', '\n');
    QStringList arguments; // as QCoreApplication::arguments() decodes them
    QStringList uris; // D-Bus strings are UTF-8
    for (const QByteArray& line : input.split('\n')) {
        arguments.append(QString::fromLocal8Bit(line));
        uris.append(QString::fromUtf8(line));
    }

    const QList<QUrl> urls = LaunchRequest::urlsFromArguments(arguments, workingFolder());
    const QList<QUrl> handedOver
        = ApplicationService::urlsFromUris(ApplicationService::urisFromUrls(urls));
    if (handedOver.size() != urls.size())
        std::abort();
    for (qsizetype i = 0; i < urls.size(); ++i) {
        if (!urls[i].isLocalFile() || !handedOver[i].isLocalFile()
            || handedOver[i].toLocalFile() != urls[i].toLocalFile())
            std::abort();
    }

    for (const QUrl& url : ApplicationService::urlsFromUris(uris)) {
        if (url.isLocalFile())
            (void)url.toLocalFile();
    }
    return 0;
}
