// Revealing a file through the freedesktop file-manager interface.
#include "FileRevealer.h"

#include "FileUrls.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>

using namespace Qt::StringLiterals;

FileRevealer::FileRevealer(QObject* parent) : FileRevealer(QDBusConnection::sessionBus(), parent) { }

FileRevealer::FileRevealer(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus) { }

void FileRevealer::reveal(const QUrl& file)
{
    if (!file.isLocalFile())
        return; // only written MP4s are revealed, and they are local files
    if (!m_bus.isConnected()) {
        openFolder(file);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s,
        u"/org/freedesktop/FileManager1"_s, u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    // Fully encoded, so a name that is not UTF-8 reaches the file manager
    // as its bytes; the same file is then shown whatever reached it.
    call << QStringList { fileUrls::normalized(file).toString(QUrl::FullyEncoded) } << QString();
    // The bus's own timeout: a file manager started by this very call may
    // take a while to answer, and opening the folder too would show two windows.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, file, watcher] {
        watcher->deleteLater();
        if (watcher->isError())
            openFolder(file);
    });
}

void FileRevealer::openFolder(const QUrl& file)
{
    const QUrl folder = fileUrls::fromPath(fileUrls::folderOf(fileUrls::path(file)));
    QDesktopServices::openUrl(folder);
    Q_EMIT openedFolder(folder);
}
