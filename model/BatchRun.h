// One window's batch: converts the queue's movies that have no MP4 yet, and
// publishes what the batch is (the movies it took, how many finished or
// failed, how far the running ones are, how it ended), so nothing outside
// has to reconstruct it from the queue's rows.
#pragma once

#include "MovieInfo.h"
#include "OutputReservation.h"
#include "WorkerThreads.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <map>
#include <memory>

class Converter;
class QueueList;

class BatchRun : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(int taken READ taken NOTIFY progressed)
    Q_PROPERTY(int finished READ finished NOTIFY progressed)
    Q_PROPERTY(int converted READ converted NOTIFY progressed)
    Q_PROPERTY(int failed READ failed NOTIFY progressed)
    Q_PROPERTY(double fraction READ fraction NOTIFY progressed)
    Q_PROPERTY(bool cancelled READ cancelled NOTIFY progressed)
    Q_PROPERTY(bool paused READ paused NOTIFY pausedChanged)

public:
    // Where the MP4 of a source goes, asked at the moment its conversion starts.
    using OutputNaming = std::function<QUrl(const QUrl& source)>;

    // How a batch ended, or stands so far.
    struct Outcome
    {
        int converted = 0;
        int failed = 0;
        bool cancelled = false; // see cancelled() below

        QString onlyName; // the movie's file name when the batch took one movie
    };

    BatchRun(QueueList& items, std::shared_ptr<Converter> converter, OutputNaming naming,
        QObject* parent = nullptr);
    // Cancels the running conversions and inspections and waits for them, so
    // no ffmpeg or temporary file outlives the batch's owner.
    ~BatchRun() override;

    // How many copies a batch runs at once on this machine: one per
    // processor this process may use, at most four.
    static int copyLanes();

    // Takes every item without an MP4, in queue order, and starts converting
    // them: movies whose video is copied side by side, a movie that must be
    // encoded alone. The next movies are inspected while earlier ones
    // convert. Does nothing while a batch runs.
    void start();
    // The item has left the queue: it no longer counts as waiting.
    void forget(const QUuid& id);
    // Stops the running conversions where they are and starts no movie and
    // no inspection until resume(); inspections under way finish. Does
    // nothing unless a batch runs.
    void pause();
    // The stopped conversions go on, and the batch from where it was.
    void resume();
    // Cancels the converter's work (see Converter::cancel()), paused or not;
    // the batch then ends as cancelled.
    void cancel();

    bool running() const { return m_running; }
    // Stays true until resume() or the batch's end.
    bool paused() const { return m_paused; }
    // Movies the batch took when it started.
    int taken() const { return static_cast<int>(m_batch.size()); }
    // Movies of the batch that have converted, failed or been cancelled.
    int finished() const { return m_converted + m_failed + m_stopped; }
    int converted() const { return m_converted; }
    // Movies that failed; one the user cancelled did not.
    int failed() const { return m_failed; }
    // Stopped by the user: some movie ended "Cancelled", or never had its turn.
    bool cancelled() const;
    // Movies the batch still has to finish (not counting those that left the queue).
    int left() const { return taken() - finished() - m_forgotten; }
    // The finished movies plus the running movies' fractions, over the movies taken.
    double fraction() const;
    Outcome outcome() const;

Q_SIGNALS:
    void runningChanged();
    void pausedChanged();
    void started();
    // A movie of the batch moved on or finished; may come many times a second.
    void progressed();
    void ended(const BatchRun::Outcome& outcome);

private:
    // What is known of one movie of the batch.
    enum class Stage { Waiting, Running, Converted, Failed, Stopped, Forgotten };
    // A movie between its inspection ahead and its turn.
    struct Inspection
    {
        bool done = false;
        MovieInfo info;
        bool failed = false;
        QString failure;
    };
    // A movie being converted.
    struct Conversion
    {
        bool encodes = false;
        OutputReservation target;
        double fraction = 0;
    };

    void advance();
    void inspectAhead();
    void beginTurn(int row);
    void startConversion(const QUuid& id, int row, const MovieInfo& info, bool encodes);
    void reportProgress(const QUuid& id, double fraction, const QString& stage);
    void finishItem(const QUuid& id, const QUrl& output, const QString& failure, bool failed);
    void settle(const QUuid& id, Stage stage);
    bool encodeRunning() const;
    void endBatch();
    void setRunning(bool running);
    void setPaused(bool paused);

    QueueList& m_items;
    std::shared_ptr<Converter> m_converter;
    OutputNaming m_naming;
    const int m_lanes = copyLanes();

    bool m_running = false;
    bool m_paused = false;
    QList<QUuid> m_batch; // ids taken when the batch started, in queue order
    QHash<QUuid, Stage> m_stages; // of every movie taken
    int m_converted = 0;
    int m_failed = 0;
    int m_forgotten = 0; // left the queue before they finished
    int m_stopped = 0; // ended "Cancelled"
    qsizetype m_nextInBatch = 0; // the next to start
    qsizetype m_nextToInspect = 0; // the next to inspect ahead
    QHash<QUuid, Inspection> m_inspections; // inspected or being inspected, not started
    int m_inspecting = 0; // inspections running
    std::map<QUuid, Conversion> m_conversions; // running, each holding its target name
    // Declared last, so it is joined before the reservations above go.
    WorkerThreads m_workers;
};
