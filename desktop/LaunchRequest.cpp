// Launch arguments and the launcher's tokens.
#include "LaunchRequest.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QList<QUrl> LaunchRequest::urlsFromArguments(const QStringList& arguments, const QString& workingFolder)
{
    QList<QUrl> urls;
    const QDir folder(workingFolder);
    for (const QString& argument : arguments) {
        if (argument.startsWith(u"file:"_s, Qt::CaseInsensitive)) {
            const QUrl url(argument);
            if (url.isValid() && url.isLocalFile())
                urls.append(url);
            continue;
        }
        if (argument.isEmpty())
            continue;
        const QFileInfo info(folder, argument);
        if (info.isFile() || info.isDir()) // a folder gives the movies inside it
            urls.append(QUrl::fromLocalFile(QDir::cleanPath(info.absoluteFilePath())));
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
