// Launch arguments and the launcher's tokens.
#include "LaunchRequest.h"

#include "FileUrls.h"

#include <filesystem>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// A URI typed or pasted may hold bytes a URI cannot (spaces, bytes past
// ASCII); they are percent-encoded first, so QUrl never reads them as text.
QUrl uriFromArgument(const QByteArray& argument)
{
    QByteArray encoded;
    encoded.reserve(argument.size());
    for (const char c : argument) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F)
            encoded.append(c);
        else
            encoded.append('%').append(
                QByteArray::number(byte, 16).rightJustified(2, '0').toUpper());
    }
    return QUrl::fromEncoded(encoded);
}

// `path` taken from `folder`, without "." and ".." components, doubled
// slashes or a trailing slash.
QByteArray absoluteClean(const QByteArray& path, const QByteArray& folder)
{
    namespace fs = std::filesystem;
    fs::path absolute(path.toStdString());
    if (absolute.is_relative())
        absolute = fs::path(folder.toStdString()) / absolute;
    std::string cleaned = absolute.lexically_normal().native();
    if (cleaned.size() > 1 && cleaned.back() == '/')
        cleaned.pop_back();
    return QByteArray::fromStdString(cleaned);
}

} // namespace

QList<QUrl> LaunchRequest::urlsFromArguments(
    const QByteArrayList& arguments, const QByteArray& workingFolder)
{
    QList<QUrl> urls;
    for (const QByteArray& argument : arguments) {
        if (argument.left(5).compare("file:", Qt::CaseInsensitive) == 0) {
            const QUrl url = uriFromArgument(argument);
            if (url.isValid() && url.isLocalFile())
                urls.append(fileUrls::normalized(url));
            continue;
        }
        if (argument.isEmpty())
            continue;
        const QByteArray path = absoluteClean(argument, workingFolder);
        struct stat info;
        // A folder gives the movies inside it.
        if (::stat(path.constData(), &info) == 0
            && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)))
            urls.append(fileUrls::fromPath(path));
    }
    return urls;
}

QVariantMap LaunchRequest::platformDataFromEnvironment()
{
    QVariantMap data;
    if (const QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty())
        data.insert(u"desktop-startup-id"_s, id);
    if (const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        data.insert(u"activation-token"_s, token);
    return data;
}
