// The freedesktop Application interface over the window set.
#include "ApplicationService.h"

#include "WindowSet.h"

#include <QUrl>

ApplicationService::ApplicationService(WindowSet* windows)
    : QDBusAbstractAdaptor(windows), m_windows(windows)
{
}

bool ApplicationService::publish(WindowSet* windows, QDBusConnection bus)
{
    if (!bus.isConnected())
        return false;
    if (!bus.registerService(applicationId))
        return false; // another instance serves it
    new ApplicationService(windows);
    if (!bus.registerObject(objectPath, windows, QDBusConnection::ExportAdaptors)) {
        bus.unregisterService(applicationId);
        return false;
    }
    return true;
}

void ApplicationService::Activate(const QVariantMap&)
{
    if (m_windows->count() == 0)
        m_windows->openWindow();
    m_windows->raiseFrontmost();
}

void ApplicationService::Open(const QStringList& uris, const QVariantMap&)
{
    QList<QUrl> urls;
    for (const QString& uri : uris)
        urls.append(QUrl(uri));
    m_windows->open(urls);
}

void ApplicationService::ActivateAction(const QString&, const QVariantList&, const QVariantMap&)
{
    // The application has no actions.
}
