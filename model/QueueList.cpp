// The queue's list model.
#include "QueueList.h"

#include "FileUrls.h"

using namespace Qt::StringLiterals;

QueueList::QueueList(QObject* parent) : QAbstractListModel(parent) { }

int QueueList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant QueueList::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QueueItem& item = m_items.at(index.row());
    switch (role) {
    case IdRole:
        return item.id.toString(QUuid::WithoutBraces);
    case UrlRole:
        return item.url;
    case ProgressRole:
        return item.progress;
    case StatusRole:
        return item.status;
    case OutputRole:
        return item.output;
    case FailedRole:
        return item.failed;
    case Qt::DisplayRole:
    case FileNameRole:
        return fileUrls::displayName(item.url);
    default:
        return {};
    }
}

QHash<int, QByteArray> QueueList::roleNames() const
{
    return {
        { IdRole, "itemId" },
        { UrlRole, "url" },
        { ProgressRole, "progress" },
        { StatusRole, "status" },
        { OutputRole, "output" },
        { FailedRole, "failed" },
        { FileNameRole, "fileName" },
    };
}

void QueueList::append(const QueueItem& item)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_items.append(item);
    m_rows.insert(item.id, row);
    m_urls.insert(item.url);
    endInsertRows();
    Q_EMIT countChanged();
}

void QueueList::remove(const QUuid& id)
{
    const int row = rowOf(id);
    if (row < 0)
        return;
    const bool hadOutput = m_items.at(row).hasOutput();
    beginRemoveRows({}, row, row);
    m_urls.remove(m_items.at(row).url);
    m_items.removeAt(row);
    if (hadOutput)
        --m_outputCount; // before any signal, so no listener sees half the change
    reindex();
    endRemoveRows();
    Q_EMIT countChanged();
    if (hadOutput)
        Q_EMIT outputCountChanged();
}

void QueueList::clear()
{
    if (m_items.isEmpty())
        return;
    const bool hadOutputs = m_outputCount != 0;
    beginResetModel();
    m_items.clear();
    m_rows.clear();
    m_urls.clear();
    m_outputCount = 0;
    endResetModel();
    Q_EMIT countChanged();
    if (hadOutputs)
        Q_EMIT outputCountChanged();
}

template<typename T>
void QueueList::setField(int row, T QueueItem::*field, const T& value, Role role)
{
    T& current = m_items[row].*field;
    if (current == value)
        return;
    current = value;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, { role });
}

void QueueList::setProgress(int row, double progress)
{
    setField(row, &QueueItem::progress, progress, ProgressRole);
}

void QueueList::setStatus(int row, const QString& status)
{
    setField(row, &QueueItem::status, status, StatusRole);
}

void QueueList::setOutput(int row, const QUrl& output)
{
    const bool hadOutput = m_items.at(row).hasOutput();
    setField(row, &QueueItem::output, output, OutputRole);
    if (hadOutput != m_items.at(row).hasOutput()) {
        m_outputCount += hadOutput ? -1 : 1;
        Q_EMIT outputCountChanged();
    }
}

void QueueList::setFailed(int row, bool failed)
{
    setField(row, &QueueItem::failed, failed, FailedRole);
}

void QueueList::reindex()
{
    m_rows.clear();
    for (int row = 0; row < count(); ++row)
        m_rows.insert(m_items.at(row).id, row);
}
