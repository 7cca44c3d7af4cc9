// Drags and copies of finished MP4s.
#include "FileHandOver.h"

#include "FileUrls.h"

#include <QClipboard>
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

using namespace Qt::StringLiterals;

FileHandOver::FileHandOver(QObject* parent)
    : QObject(parent)
{
}

QMimeData* FileHandOver::mimeData(const QUrl& file, bool clipboard)
{
    // The URL's own encoding, never a path decoded to text and encoded again:
    // bytes that are not UTF-8 stay the bytes the file system holds.
    const QByteArray uri = file.toEncoded(QUrl::FullyEncoded);
    const QByteArray path = fileUrls::path(file);
    auto* data = new QMimeData;
    data->setData(u"text/uri-list"_s, uri + "\r\n");
    data->setData(u"text/plain"_s, path);
    if (clipboard)
        data->setData(u"x-special/gnome-copied-files"_s, "copy\n" + uri);
    return data;
}

void FileHandOver::drag(QQuickItem* source, const QUrl& file)
{
    if (!source || !file.isLocalFile())
        return;
    // QDrag::exec() runs an event loop of its own until the drop; started
    // from within the pointer handler that saw the drag begin, it would run
    // inside that handler's delivery of the move.
    QMetaObject::invokeMethod(
        this,
        [source = QPointer<QQuickItem>(source), file] {
            if (!source)
                return;
            // Qt deletes the drag once the drop is over; on X11 that is
            // after exec() returns, when the target has asked for the data.
            auto* drag = new QDrag(source);
            drag->setMimeData(mimeData(file, false));
            drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
        },
        Qt::QueuedConnection);
}

void FileHandOver::copy(const QUrl& file)
{
    if (file.isLocalFile())
        QGuiApplication::clipboard()->setMimeData(mimeData(file, true));
}
