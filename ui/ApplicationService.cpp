// The freedesktop Application interface over the window set.
#include "ApplicationService.h"

#include "WindowSet.h"

#include <QUrl>

using namespace Qt::StringLiterals;

ApplicationService::ApplicationService(WindowSet* windows)
    : QDBusAbstractAdaptor(windows), m_windows(windows)
{
}

bool ApplicationService::publish(WindowSet* windows, QDBusConnection bus)
{
    if (!bus.isConnected() || windows->findChild<ApplicationService*>())
        return false;
    if (!bus.registerService(applicationId))
        return false; // another instance serves it
    auto* service = new ApplicationService(windows);
    if (!bus.registerObject(objectPath, windows, QDBusConnection::ExportAdaptors)) {
        delete service;
        bus.unregisterService(applicationId);
        return false;
    }
    return true;
}

namespace {

// The launcher's activation token lets the window come to the front despite
// focus-stealing prevention (Wayland's xdg-activation, X11's startup id).
void takeActivationToken(const QVariantMap& platformData)
{
    const QByteArray token = platformData.value(u"activation-token"_s).toString().toUtf8();
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token);
    const QByteArray startupId = platformData.value(u"desktop-startup-id"_s).toString().toUtf8();
    if (!startupId.isEmpty())
        qputenv("DESKTOP_STARTUP_ID", startupId);
}

} // namespace

void ApplicationService::Activate(const QVariantMap& platformData)
{
    takeActivationToken(platformData);
    if (m_windows->count() == 0)
        m_windows->openWindow();
    m_windows->raiseFrontmost();
}

void ApplicationService::Open(const QStringList& uris, const QVariantMap& platformData)
{
    takeActivationToken(platformData);
    QList<QUrl> urls;
    for (const QString& uri : uris)
        urls.append(QUrl(uri));
    m_windows->open(urls);
}

void ApplicationService::ActivateAction(const QString&, const QVariantList&, const QVariantMap&)
{
    // The application has no actions.
}
