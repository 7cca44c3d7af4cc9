// Revealing a file through the freedesktop file-manager interface.
#include "FileRevealer.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>

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
    call << QStringList { file.toString(QUrl::FullyEncoded) } << QString();
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
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).path());
    QDesktopServices::openUrl(folder);
    Q_EMIT openedFolder(folder);
}
