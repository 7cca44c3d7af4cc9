// The freedesktop Application interface over the application's windows.
#include "ApplicationService.h"

#include "ApplicationWindows.h"
#include "LaunchRequest.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// Long enough for a running instance that is busy starting a window; a hung
// one must not keep the new start waiting for D-Bus's default 25 s.
constexpr int handOverTimeout = 10'000;

} // namespace

ApplicationService::ApplicationService(QObject* host, ApplicationWindows* windows)
    : QDBusAbstractAdaptor(host), m_windows(windows)
{
}

bool ApplicationService::publish(QObject* host, ApplicationWindows* windows, QDBusConnection bus)
{
    if (!bus.isConnected() || host->findChild<ApplicationService*>())
        return false;
    if (!bus.registerService(applicationId))
        return false; // another instance serves it
    auto* service = new ApplicationService(host, windows);
    if (!bus.registerObject(objectPath, host, QDBusConnection::ExportAdaptors)) {
        delete service;
        bus.unregisterService(applicationId);
        return false;
    }
    return true;
}

bool ApplicationService::handOver(const LaunchRequest& launch, QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(applicationId).value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(applicationId, objectPath,
        u"org.freedesktop.Application"_s, launch.urls.isEmpty() ? u"Activate"_s : u"Open"_s);
    if (launch.urls.isEmpty()) {
        call.setArguments({ launch.platformData });
    } else {
        call.setArguments({ urisFromUrls(launch.urls), launch.platformData });
    }
    return bus.call(call, QDBus::BlockWithGui, handOverTimeout).type() == QDBusMessage::ReplyMessage;
}

void ApplicationService::Activate(const QVariantMap& platformData)
{
    m_windows->activate(platformData);
}

void ApplicationService::Open(const QStringList& uris, const QVariantMap& platformData)
{
    m_windows->open(urlsFromUris(uris), platformData);
}

void ApplicationService::ActivateAction(const QString&, const QVariantList&, const QVariantMap&)
{
    // The application has no actions.
}

QStringList ApplicationService::urisFromUrls(const QList<QUrl>& urls)
{
    QStringList uris;
    for (const QUrl& url : urls)
        uris.append(url.toString(QUrl::FullyEncoded));
    return uris;
}

QList<QUrl> ApplicationService::urlsFromUris(const QStringList& uris)
{
    QList<QUrl> urls;
    for (const QString& uri : uris)
        urls.append(QUrl(uri));
    return urls;
}
