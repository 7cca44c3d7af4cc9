// The batch as a whole in one line, "3 of 12 done · about 4 min left", worked
// out from what the batch run publishes and the time since it started.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class BatchRun;

class BatchEstimate : public QObject
{
    Q_OBJECT
    // Empty while no batch runs.
    Q_PROPERTY(QString text READ text NOTIFY textChanged)

public:
    explicit BatchEstimate(const BatchRun& batch, QObject* parent = nullptr);

    QString text() const { return m_text; }

    // How a number of seconds left reads: "less than a minute left", then
    // whole minutes rounded up ("about 12 min left"), hours from 60 minutes
    // on ("about 1 h 5 min left").
    static QString timeLeft(double seconds);

Q_SIGNALS:
    void textChanged();

private:
    void begin();
    void update();
    void setText(const QString& text);

    const BatchRun& m_batch;
    QTimer m_ticks; // the line changes at most once a second
    QElapsedTimer m_sinceStart;
    int m_taken = 0; // the movies the last estimate was made for
    std::optional<double> m_secondsLeft; // the last estimate shown
    QString m_text;
};
