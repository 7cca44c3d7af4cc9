// Keeps the computer from sleeping while a window's batch runs: a logind
// "sleep:idle" inhibitor, or the desktop portal's where logind is not there.
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPointer>

class AppModel;

class SleepInhibitor : public QObject
{
    Q_OBJECT

public:
    // Follows `model`'s running state, asking logind on `system` and the
    // portal on `session`. Gives the inhibitor back when destroyed.
    SleepInhibitor(AppModel* model, const QDBusConnection& system, const QDBusConnection& session,
        QObject* parent = nullptr);
    explicit SleepInhibitor(AppModel* model, QObject* parent = nullptr);
    ~SleepInhibitor() override;

    // True while logind's descriptor or the portal's request is held.
    bool held() const { return m_descriptor.isValid() || !m_portalRequest.path().isEmpty(); }

    // Neither may hold up a batch: an answer later than this is not waited for.
    static constexpr int replyTimeout = 500; // ms

private:
    void take();
    void giveBack();
    void askPortal(quint64 request);

    QPointer<AppModel> m_model;
    QDBusConnection m_system;
    QDBusConnection m_session;
    quint64 m_request = 0; // counts requests, so a late answer to an old one is dropped
    QDBusUnixFileDescriptor m_descriptor; // logind's: closing it ends the inhibition
    QDBusObjectPath m_portalRequest; // the portal's: closing the request ends it
};
