// Byte-exact file URLs.
#include "FileUrls.h"

#include "Utf8.h"

using namespace Qt::StringLiterals;

QUrl fileUrls::fromPath(const QByteArray& path)
{
    // A UTF-8 name takes Qt's own road, so its URL equals the one a drop or
    // a dialog gives for it. Other bytes are percent-encoded, so QUrl never
    // reads them as text; what stays as it is matches what Qt leaves. (On
    // Qt's road a path starting with "//" would become a host, and a relative
    // one starting "E:" a drive letter.)
    if (utf8::isValid(std::string_view(path.constData(), path.size())) && path.startsWith('/')
        && !path.startsWith("//"))
        return QUrl::fromLocalFile(QString::fromUtf8(path));
    // A relative path (a "file:" URI given without one) has no authority:
    // after "file://" its first component would be read as a host.
    const QByteArray scheme = path.startsWith('/') ? "file://" : "file:";
    return QUrl::fromEncoded(scheme + path.toPercentEncoding("/!$&'()*+,;=:@[]"));
}

QByteArray fileUrls::path(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    // Decoded as text where that loses nothing; U+FFFD marks bytes that are
    // not UTF-8, which only the percent-encoding still holds.
    const QString text = url.path(QUrl::FullyDecoded);
    QByteArray bytes = !text.contains(QChar::ReplacementCharacter)
        ? text.toUtf8()
        : QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // As toLocalFile() does: a named host other than this one is a network path.
    if (const QString host = url.host(); !host.isEmpty() && host != u"localhost"_s)
        bytes.prepend("//" + host.toUtf8());
    return bytes;
}

QString fileUrls::displayName(const QUrl& url)
{
    return QString::fromUtf8(nameOf(path(url)));
}

QByteArray fileUrls::nameOf(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

QByteArray fileUrls::folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : QByteArray("/");
}

QUrl fileUrls::normalized(const QUrl& url)
{
    // Without a path ("file://#x") there is no file to spell otherwise, and
    // fromLocalFile() would make an empty URL of it.
    if (!url.isLocalFile() || url.path().isEmpty())
        return url;
    // The common case, a UTF-8 path on this host, without a round trip through bytes.
    const QString text = url.path(QUrl::FullyDecoded);
    if (url.host().isEmpty() && !text.contains(QChar::ReplacementCharacter) && text.startsWith(u'/')
        && !text.startsWith(u"//"_s))
        return QUrl::fromLocalFile(text);
    return fromPath(path(url));
}
