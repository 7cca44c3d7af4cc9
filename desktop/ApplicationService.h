// org.freedesktop.Application on the session bus, so a file manager's
// "Open With" hands movies to the running application.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QList>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

class ApplicationWindows;
struct LaunchRequest;

class ApplicationService : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    static inline const QString applicationId = QStringLiteral("org.bramblecrest.Bramblecrest");
    static inline const QString objectPath = QStringLiteral("/org/bramblecrest/Bramblecrest");

    // Serves the interface for `windows` under the application id, as an
    // adaptor of `host`. Returns false, and changes nothing, when the bus is
    // missing, the name is taken or `host` serves it already.
    static bool publish(QObject* host, ApplicationWindows* windows,
        QDBusConnection bus = QDBusConnection::sessionBus());
    // Gives a launch to the instance that serves the application id on `bus`:
    // its files with Open, or Activate when there are none, with the
    // launcher's platform data. True once that instance has taken it.
    static bool handOver(const LaunchRequest& launch, QDBusConnection bus = QDBusConnection::sessionBus());

    // The URIs handOver() gives Open for `urls`, percent-encoded as file
    // managers send them, and the URLs Open takes from such URIs.
    static QStringList urisFromUrls(const QList<QUrl>& urls);
    static QList<QUrl> urlsFromUris(const QStringList& uris);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    // Each URI goes to the frontmost window's model, one per add.
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& action, const QVariantList& parameter, const QVariantMap& platformData);

private:
    ApplicationService(QObject* host, ApplicationWindows* windows);

    ApplicationWindows* m_windows;
};
