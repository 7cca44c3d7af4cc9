// The batch as a whole in one line, "3 of 12 done · about 4 min left", worked
// out from what the batch run publishes and the time it has been converting;
// "Paused · 3 of 12 done" while it is paused.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

class BatchRun;

class BatchEstimate : public QObject
{
    Q_OBJECT
    // Empty while no batch runs.
    Q_PROPERTY(QString text READ text NOTIFY textChanged)

public:
    // Milliseconds on a clock that only goes forward.
    using Clock = std::function<qint64()>;

    // `clock` defaults to the system's monotonic clock; only the tests give another.
    explicit BatchEstimate(const BatchRun& batch, Clock clock = {}, QObject* parent = nullptr);

    QString text() const { return m_text; }

    // How a number of seconds left reads: "less than a minute left", then
    // whole minutes rounded up ("about 12 min left"), hours from 60 minutes
    // on ("about 1 h 5 min left").
    static QString timeLeft(double seconds);

Q_SIGNALS:
    void textChanged();

private:
    void begin();
    void followPause();
    void update();
    void setText(const QString& text);

    const BatchRun& m_batch;
    Clock m_clock;
    QTimer m_ticks; // the line changes at most once a second
    qint64 m_startedAt = 0;
    qint64 m_pausedFor = 0; // the batch's paused time so far, which the pace leaves out
    std::optional<qint64> m_pausedAt; // while paused
    int m_taken = 0; // the movies the last estimate was made for
    std::optional<double> m_secondsLeft; // the last estimate shown
    QString m_text;
};
