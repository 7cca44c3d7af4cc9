// The state behind one window: the queue, the destination folder, the notice
// line and the batch run that converts the queue.
#pragma once

#include "BatchEstimate.h"
#include "BatchRun.h"
#include "QueueList.h"

#include <QByteArrayList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <deque>
#include <memory>
#include <thread>

class Converter;
class FilePicker;

class AppModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QueueList* items READ items CONSTANT)
    Q_PROPERTY(BatchRun* batch READ batch CONSTANT)
    // The running batch in one line, for the action bar.
    Q_PROPERTY(BatchEstimate* estimate READ estimate CONSTANT)
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(bool paused READ paused NOTIFY pausedChanged)
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
    // Its batch cancels the running conversions and inspections and waits
    // for them, so no ffmpeg or temporary file outlives the window.
    ~AppModel() override;

    QueueList* items() { return &m_items; }
    const QueueList* items() const { return &m_items; }
    BatchRun* batch() { return &m_batch; }
    const BatchRun* batch() const { return &m_batch; }
    BatchEstimate* estimate() { return &m_estimate; }
    bool running() const { return m_batch.running(); }
    bool paused() const { return m_batch.paused(); }
    QUrl destination() const { return m_destination; } // empty: beside each source
    QString destinationPath() const; // as text, to show
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
    // Trip-2.mp4, ... in the destination or beside the source, the bytes of
    // the movie's name kept. A name that a running conversion of any window
    // aims at is taken. Where a name would be longer than the folder allows,
    // the movie's name is cut between characters so that the suffix fits.
    Q_INVOKABLE QUrl outputURL(const QUrl& source) const;
    // Clears the notice and starts the batch (see BatchRun::start()).
    Q_INVOKABLE void start();

    // The window's direct changes.
    Q_INVOKABLE void remove(const QString& id);
    Q_INVOKABLE void clear();
    Q_INVOKABLE void resetDestination();
    Q_INVOKABLE void cancel();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void resume();

Q_SIGNALS:
    void runningChanged();
    void pausedChanged();
    void destinationChanged();
    void noticeChanged();
    void hasPendingChanged();

private:
    void setNotice(const QString& notice);
    void setDestination(const QUrl& destination);
    void updateHasPending();
    void addWaitingUrls();
    void addMovie(const QUrl& url);
    void readFolder(const QByteArray& path);
    void addFolderMovies(quint64 reading, const QByteArrayList& movies);

    QueueList m_items;
    QUrl m_destination;
    QString m_notice;
    bool m_hasPending = false;
    std::shared_ptr<FilePicker> m_picker;
    std::shared_ptr<Converter> m_converter;
    std::deque<QUrl> m_waitingUrls; // given to add() after a folder still being read
    bool m_readingFolder = false;
    quint64 m_folderReading = 0; // counts folders read; a cleared list forgets the one being read
    std::jthread m_folderReader; // stopped and joined when the model goes
    // Declared after the queue: it stops its conversions, which write into
    // the queue, before the queue goes.
    BatchRun m_batch;
    BatchEstimate m_estimate { m_batch };
};
