// Shows a file in the desktop's file manager.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QUrl>

class FileRevealer : public QObject
{
    Q_OBJECT

public:
    explicit FileRevealer(QObject* parent = nullptr);
    // Tests reach a file manager on a bus of their own.
    FileRevealer(const QDBusConnection& bus, QObject* parent = nullptr);

    // Asks the file manager (org.freedesktop.FileManager1.ShowItems) to show
    // the file selected in its folder; where no file manager answers, opens
    // the folder that holds it.
    Q_INVOKABLE void reveal(const QUrl& file);

Q_SIGNALS:
    // Emitted when no file manager answered and the folder was opened instead.
    void openedFolder(const QUrl& folder);

private:
    void openFolder(const QUrl& file);

    QDBusConnection m_bus;
};
