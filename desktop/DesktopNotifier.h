// Tells the user, with a desktop notification, that a batch has finished
// while they were working elsewhere; its default action raises the window.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QWindow>
#include <functional>

#include "BatchTracker.h"

class BatchNotifier : public QObject
{
    Q_OBJECT

public:
    // True while one of the application's windows is active (or one of its
    // dialogs is): then the user sees the batch end without a notification.
    using ActiveTest = std::function<bool()>;

    // `window` is raised when the notification is clicked.
    BatchNotifier(BatchTracker* batch, QWindow* window, ActiveTest anyWindowActive,
        const QDBusConnection& session, QObject* parent = nullptr);
    BatchNotifier(BatchTracker* batch, QWindow* window, ActiveTest anyWindowActive,
        QObject* parent = nullptr);

    static QString body(const BatchTracker::Outcome& outcome);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);

private:
    void notify(const BatchTracker::Outcome& outcome);

    QPointer<QWindow> m_window;
    ActiveTest m_anyWindowActive;
    QDBusConnection m_session;
    uint m_shown = 0; // the id of the notification on screen, 0 when none
};
