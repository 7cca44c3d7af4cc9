// The queue as a list model: one row per QueueItem, one role per field.
#pragma once

#include "QueueItem.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>

class QueueList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        UrlRole,
        ProgressRole,
        StatusRole,
        OutputRole,
        FailedRole,
        FileNameRole,
    };
    Q_ENUM(Role)

    explicit QueueList(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_items.size()); }
    // How many items have their MP4.
    int outputCount() const { return m_outputCount; }
    const QList<QueueItem>& items() const { return m_items; }
    bool contains(const QUrl& url) const { return m_urls.contains(url); }
    // The row of the item with this id, or -1.
    int rowOf(const QUuid& id) const { return m_rows.value(id, -1); }
    const QueueItem& at(int row) const { return m_items.at(row); }

    void append(const QueueItem& item);
    void remove(const QUuid& id);
    void clear();

    // Each setter is one change of one field: one dataChanged of that row
    // naming that role, and nothing when the value is already there.
    void setProgress(int row, double progress);
    void setStatus(int row, const QString& status);
    void setOutput(int row, const QUrl& output);
    void setFailed(int row, bool failed);

Q_SIGNALS:
    void countChanged();
    void outputCountChanged();

private:
    template<typename T> void setField(int row, T QueueItem::*field, const T& value, Role role);
    void reindex();

    QList<QueueItem> m_items;
    QHash<QUuid, int> m_rows; // id -> row, so a progress report costs no search
    QSet<QUrl> m_urls; // queued URLs, so adding stays linear
    int m_outputCount = 0;
};
