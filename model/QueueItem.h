// One queued movie and the state of its conversion.
#pragma once

#include <QString>
#include <QUrl>
#include <QUuid>

struct QueueItem
{
    QUuid id = QUuid::createUuid();
    QUrl url;
    double progress = 0;
    QString status = QStringLiteral("Ready");
    QUrl output; // empty until the MP4 has been written
    bool failed = false;

    static QueueItem forUrl(const QUrl& url)
    {
        QueueItem item;
        item.url = url;
        return item;
    }
    bool hasOutput() const { return !output.isEmpty(); }
};
