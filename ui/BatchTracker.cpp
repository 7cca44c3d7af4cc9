// A batch seen from outside the model: its movies are those without an MP4
// when it started; a movie has finished once it has its MP4, or once it fails
// during this batch (a failure left from an earlier batch is cleared at the
// movie's turn, so it does not count).
#include "BatchTracker.h"

#include "AppModel.h"
#include "ConversionFailure.h"

BatchTracker::BatchTracker(AppModel* model, QObject* parent) : QObject(parent), m_model(model)
{
    connect(model, &AppModel::runningChanged, this, &BatchTracker::onRunningChanged);
    connect(model->items(), &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
            onDataChanged(topLeft.row(), bottomRight.row(), roles);
        });
}

void BatchTracker::onRunningChanged()
{
    if (!m_model || m_model->running() == m_running)
        return;
    m_running = m_model->running();
    if (m_running) {
        const QueueList* items = m_model->items();
        m_batch.clear();
        m_converted.clear();
        m_failed.clear();
        for (int row = 0; row < items->rowCount(); ++row) {
            const QModelIndex index = items->index(row);
            if (index.data(QueueList::OutputRole).toUrl().isEmpty())
                m_batch.append(index.data(QueueList::IdRole).toUuid());
        }
        m_inBatch = QSet<QUuid>(m_batch.cbegin(), m_batch.cend());
        Q_EMIT started();
    } else {
        Q_EMIT finished(outcome());
    }
}

bool BatchTracker::inBatch(int row, QUuid* id) const
{
    *id = m_model->items()->index(row).data(QueueList::IdRole).toUuid();
    return m_inBatch.contains(*id);
}

void BatchTracker::onDataChanged(int firstRow, int lastRow, const QList<int>& roles)
{
    if (!m_running || !m_model)
        return;
    const QueueList* items = m_model->items();
    const bool anyRole = roles.isEmpty();
    for (int row = firstRow; row <= lastRow; ++row) {
        QUuid id;
        if (!inBatch(row, &id))
            continue;
        const QModelIndex index = items->index(row);
        if ((anyRole || roles.contains(QueueList::OutputRole))
            && !index.data(QueueList::OutputRole).toUrl().isEmpty())
            m_converted.insert(id);
        if (anyRole || roles.contains(QueueList::FailedRole)) {
            if (index.data(QueueList::FailedRole).toBool())
                m_failed.insert(id);
            else
                m_failed.remove(id);
        }
    }
    Q_EMIT progressed();
}

double BatchTracker::fraction() const
{
    if (!m_model || m_batch.isEmpty())
        return 0;
    const QueueList* items = m_model->items();
    double done = 0;
    for (const QUuid& id : m_batch) {
        const int row = items->rowOf(id);
        if (row < 0 || m_converted.contains(id) || m_failed.contains(id))
            done += 1; // a removed movie is no longer waited for
        else
            done += qBound(0.0, items->index(row).data(QueueList::ProgressRole).toDouble(), 1.0);
    }
    return done / m_batch.size();
}

int BatchTracker::left() const
{
    int left = 0;
    for (const QUuid& id : m_batch) {
        if (!m_converted.contains(id) && !m_failed.contains(id) && m_model->items()->rowOf(id) >= 0)
            ++left;
    }
    return left;
}

BatchTracker::Outcome BatchTracker::outcome() const
{
    Outcome result;
    const QueueList* items = m_model->items();
    for (const QUuid& id : m_batch) {
        const int row = items->rowOf(id);
        if (row < 0)
            continue;
        if (m_converted.contains(id)) {
            ++result.converted;
        } else if (m_failed.contains(id)) {
            ++result.failed;
            if (items->index(row).data(QueueList::StatusRole).toString()
                == QLatin1String(ConversionFailure::cancelled))
                result.cancelled = true;
        } else {
            result.cancelled = true; // the batch stopped before this movie's turn
        }
    }
    if (m_batch.size() == 1 && items->rowOf(m_batch.constFirst()) >= 0)
        result.onlyName = items->index(items->rowOf(m_batch.constFirst()))
                              .data(QueueList::FileNameRole)
                              .toString();
    return result;
}
