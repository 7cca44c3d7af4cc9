// Byte-exact file URLs.
#include "FileUrls.h"

using namespace Qt::StringLiterals;

QUrl fileUrls::fromPath(const QByteArray& path)
{
    // Everything but the unreserved characters and the separators is
    // percent-encoded, so QUrl never has to read the bytes as text.
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

QByteArray fileUrls::path(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // As toLocalFile() does: a named host other than this one is a network path.
    if (const QString host = url.host(); !host.isEmpty() && host != u"localhost"_s)
        bytes.prepend("//" + host.toUtf8());
    return bytes;
}

QString fileUrls::displayName(const QUrl& url)
{
    const QByteArray bytes = path(url);
    return QString::fromUtf8(bytes.sliced(bytes.lastIndexOf('/') + 1));
}

QUrl fileUrls::normalized(const QUrl& url)
{
    return url.isLocalFile() ? fromPath(path(url)) : url;
}
