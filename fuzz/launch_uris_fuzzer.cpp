// The files a start of the program names, one argument a line, and the URIs
// a file manager hands to Open over D-Bus: every URL taken is a local file,
// one handed over to a running instance arrives as the same bytes (its
// fragment may come back spelt otherwise: QUrl tells "#" from "%23" there),
// and a URL's bytes survive its one spelling and a round trip through it.
#include "ApplicationService.h"
#include "FileUrls.h"
#include "LaunchRequest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

// A working folder with a movie and a folder in it, for relative arguments.
const QByteArray& workingFolder()
{
    static const QTemporaryDir folder;
    static const bool made = QDir(folder.path()).mkdir(QStringLiteral("Card"))
        && QFile(folder.filePath(QStringLiteral("Trip.mov"))).open(QIODevice::WriteOnly);
    if (!made)
        std::abort();
    static const QByteArray path = QFile::encodeName(folder.path());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Neither an argument nor a D-Bus string can hold a NUL: it ends one too.
    const QByteArray input
        = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
              .replace('\0', '\n');
    QByteArrayList arguments; // argv's bytes, as they are
    QStringList uris; // D-Bus strings are UTF-8
    for (const QByteArray& line : input.split('\n')) {
        arguments.append(line);
        uris.append(QString::fromUtf8(line));
    }

    const QList<QUrl> urls = LaunchRequest::urlsFromArguments(arguments, workingFolder());
    const QList<QUrl> handedOver
        = ApplicationService::urlsFromUris(ApplicationService::urisFromUrls(urls));
    if (handedOver.size() != urls.size())
        std::abort();
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QByteArray path = fileUrls::path(urls[i]);
        if (!urls[i].isLocalFile() || !handedOver[i].isLocalFile()
            || fileUrls::path(handedOver[i]) != path || fileUrls::path(fileUrls::fromPath(path)) != path)
            std::abort();
    }

    for (const QUrl& url : ApplicationService::urlsFromUris(uris)) {
        const QUrl normalized = fileUrls::normalized(url);
        if (url.isLocalFile() && fileUrls::path(normalized) != fileUrls::path(url))
            std::abort();
        (void)fileUrls::displayName(normalized);
    }
    return 0;
}
