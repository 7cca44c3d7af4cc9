// Follows one window's batch from the outside, through the model's public
// signals and the queue's roles: which movies it took, how far it has come,
// and how it ended.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>

class AppModel;

class BatchTracker : public QObject
{
    Q_OBJECT

public:
    explicit BatchTracker(AppModel* model, QObject* parent = nullptr);

    bool running() const { return m_running; }
    // Finished movies plus the running movies' fractions, over the batch's movies.
    double fraction() const;
    // Movies of the batch that have not finished yet.
    int left() const;

    struct Outcome
    {
        int converted = 0;
        int failed = 0;
        bool cancelled = false;
        QString onlyName; // the movie's file name when the batch had one movie
    };

Q_SIGNALS:
    void started();
    // Some movie of the running batch moved on; may come many times a second.
    void progressed();
    void finished(const BatchTracker::Outcome& outcome);

private:
    void onRunningChanged();
    void onDataChanged(int firstRow, int lastRow, const QList<int>& roles);
    Outcome outcome() const;
    bool inBatch(int row, QUuid* id) const;

    QPointer<AppModel> m_model;
    bool m_running = false;
    QList<QUuid> m_batch;
    QSet<QUuid> m_inBatch; // the same ids, for a progress report's look-up
    QSet<QUuid> m_converted;
    QSet<QUuid> m_failed;
};
