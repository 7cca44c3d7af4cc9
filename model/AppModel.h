// The state behind one window: the queue, the destination folder, the notice
// line and the batch run that converts the queue.
#pragma once

#include "MovieInfo.h"
#include "OutputReservation.h"
#include "QueueList.h"
#include "WorkerThreads.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <deque>
#include <map>
#include <memory>
#include <thread>

class Converter;
class FilePicker;

class AppModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QueueList* items READ items CONSTANT)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(QUrl destination READ destination NOTIFY destinationChanged)
    // The destination as a file-system path; empty when there is none.
    Q_PROPERTY(QString destinationPath READ destinationPath NOTIFY destinationChanged)
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)
    // True while some item has no MP4 yet, so there is something to convert.
    Q_PROPERTY(bool hasPending READ hasPending NOTIFY hasPendingChanged)

public:
    // `picker` may be null (nothing to browse with); `converter` defaults to a
    // new one looking in the fixed tool folders.
    explicit AppModel(std::shared_ptr<FilePicker> picker = {},
        std::shared_ptr<Converter> converter = {}, QObject* parent = nullptr);
    // Cancels the running conversions and inspections and waits for them, so
    // no ffmpeg or temporary file outlives the window.
    ~AppModel() override;

    QueueList* items() { return &m_items; }
    const QueueList* items() const { return &m_items; }
    bool running() const { return m_running; }
    QUrl destination() const { return m_destination; } // empty: beside each source
    QString destinationPath() const { return m_destination.toLocalFile(); }
    QString notice() const { return m_notice; } // null: no notice
    bool hasPending() const;
    Converter& converter() { return *m_converter; }

    static inline const QString refusedKindNotice = QStringLiteral("Please choose QuickTime .mov files.");

    // Queues the .mov files among `urls` that are not queued yet, in order;
    // a folder gives the movies inside it, read on a thread of its own, and
    // the URLs after it wait for them.
    Q_INVOKABLE void add(const QList<QUrl>& urls);
    Q_INVOKABLE void browse();
    Q_INVOKABLE void chooseFolder();
    // Where the MP4 for `source` goes: the first free name of Trip.mp4,
    // Trip-2.mp4, ... in the destination or beside the source. A name that a
    // running conversion of any window aims at is taken.
    Q_INVOKABLE QUrl outputURL(const QUrl& source) const;
    // Starts converting every item without an MP4, in queue order: movies
    // whose video is copied side by side (one per processor, at most four),
    // a movie that must be encoded alone. The next movies are inspected while
    // earlier ones convert.
    Q_INVOKABLE void start();
    // How many copies a batch runs at once on this machine.
    static int copyLanes();

    // The window's direct changes.
    Q_INVOKABLE void remove(const QString& id);
    Q_INVOKABLE void clear();
    Q_INVOKABLE void resetDestination();
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void runningChanged();
    void destinationChanged();
    void noticeChanged();
    void hasPendingChanged();

private:
    void setRunning(bool running);
    void setNotice(const QString& notice);
    void setDestination(const QUrl& destination);
    void updateHasPending();
    void addWaitingUrls();
    void addMovie(const QUrl& url);
    void readFolder(const QString& path);
    void addFolderMovies(const QStringList& movies);
    // A movie of the batch between its inspection ahead and its turn.
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
    };

    void advance();
    void inspectAhead();
    void beginTurn(int row);
    void startConversion(const QUuid& id, int row, const MovieInfo& info, bool encodes);
    void finishItem(const QUuid& id, const QUrl& output, const QString& failure, bool failed);
    bool encodeRunning() const;
    void endBatch();

    QueueList m_items;
    bool m_running = false;
    QUrl m_destination;
    QString m_notice;
    bool m_hasPending = false;
    std::shared_ptr<FilePicker> m_picker;
    std::shared_ptr<Converter> m_converter;

    QList<QUuid> m_batch; // ids taken when the batch started, in queue order
    qsizetype m_nextInBatch = 0; // the next to start
    qsizetype m_nextToInspect = 0; // the next to inspect ahead
    QHash<QUuid, Inspection> m_inspections; // inspected or being inspected, not started
    int m_inspecting = 0; // inspections running
    std::map<QUuid, Conversion> m_conversions; // running, each holding its target name
    const int m_lanes = copyLanes();
    // Declared last, so it is joined before the reservations above go.
    WorkerThreads m_workers;

    std::deque<QUrl> m_waitingUrls; // given to add() after a folder still being read
    bool m_readingFolder = false;
    std::jthread m_folderReader; // stopped and joined when the model goes
};
