// File URLs whose paths are bytes. A Linux file name need not be UTF-8, and
// QUrl::fromLocalFile() and toLocalFile() go through text, which replaces what
// is not; these keep the bytes in the URL's percent-encoding instead.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace fileUrls {

// The file: URL of the absolute path `path`, every byte kept.
QUrl fromPath(const QByteArray& path);

// The path of a file: URL as the bytes its percent-encoding stands for;
// empty for any other URL.
QByteArray path(const QUrl& url);

// The last component of the URL's path as text to show, with U+FFFD where
// its bytes are not UTF-8.
QString displayName(const QUrl& url);

// The last component of `path`, and the folder that holds it ("/" for a
// component at the root).
QByteArray nameOf(const QByteArray& path);
QByteArray folderOf(const QByteArray& path);

// `url` in the one spelling fromPath() gives, so that the same file reached
// through an argument, a URI or a folder compares equal; other URLs unchanged.
QUrl normalized(const QUrl& url);

} // namespace fileUrls
