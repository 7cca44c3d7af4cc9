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
    if (!m_bus.isConnected()) {
        openFolder(file);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s,
        u"/org/freedesktop/FileManager1"_s, u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList { file.toString(QUrl::FullyEncoded) } << QString();
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, 5000), this);
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
