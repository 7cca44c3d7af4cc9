// What the application's D-Bus service asks of the windows, so the service
// knows nothing of how they are made.
#pragma once

#include <QList>
#include <QUrl>
#include <QVariantMap>

class ApplicationWindows
{
public:
    // Queues `urls` in the window used last (opening one when there is none)
    // and raises it, with the launcher's platform data.
    virtual void open(const QList<QUrl>& urls, const QVariantMap& platformData) = 0;
    // Raises the window used last, opening one when there is none.
    virtual void activate(const QVariantMap& platformData) = 0;

protected:
    ~ApplicationWindows() = default;
};
