// Hands a finished MP4 to another application as a file: dragged out of the
// window, or put on the clipboard.
#pragma once

#include <QObject>
#include <QQuickItem>
#include <QUrl>
#include <QtQml/qqml.h>

class QMimeData;

class FileHandOver : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit FileHandOver(QObject* parent = nullptr);

    // Starts dragging `file` from `source`, once the event that asked for it
    // has been handled; the drag lasts until the button is released.
    Q_INVOKABLE void drag(QQuickItem* source, const QUrl& file);
    Q_INVOKABLE void copy(const QUrl& file);

    // What either offers: text/uri-list with the file's URI, percent-encoded
    // as it came (a name need not be UTF-8), and text/plain with its path;
    // for the clipboard also the file managers' own x-special/gnome-copied-files.
    static QMimeData* mimeData(const QUrl& file, bool clipboard);
};
