// The batches of every window of the application, seen together: the
// application is busy from the moment one starts until the last running one
// ends, and the desktop shows that period as one piece of work. The computer
// is kept awake through it, but for the stretches where every running batch
// is paused.
#pragma once

#include "BatchRun.h"
#include "DesktopServices.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class ApplicationBatches : public QObject
{
    Q_OBJECT

public:
    // True while one of the application's windows (or one of its dialogs)
    // is active: then the user sees the batches end without a notification.
    using ActiveTest = std::function<bool()>;

    ApplicationBatches(DesktopServices services, ActiveTest anyWindowActive, QObject* parent = nullptr);
    // Gives the inhibitor back and clears the taskbar entry if still busy.
    ~ApplicationBatches() override;

    // Follows a window's batch until it is destroyed.
    void follow(BatchRun* batch);

    bool busy() const { return m_busy; }
    // The movies of this busy period's batches that have finished, plus the
    // running movies' fractions, over all of those movies. A batch that ended
    // while another runs stays in, as finished, so the figure never goes back.
    double fraction() const;
    // Movies still to finish in the running batches.
    int left() const;

Q_SIGNALS:
    void busyChanged();
    // The user clicked the notification of the period's end.
    void notificationClicked();

private:
    // One batch of the busy period, from its start to its end.
    struct Run
    {
        QPointer<BatchRun> batch; // null once its window has gone
        const BatchRun* key; // the batch's identity, still comparable after it is gone
        int taken = 0;
        bool ended = false;
        BatchRun::Outcome outcome;
    };

    void onStarted(BatchRun* batch);
    void onEnded(const BatchRun* batch, const BatchRun::Outcome& outcome);
    Run* runOf(const BatchRun* batch);
    void showProgress();
    void keepAwakeWhileConverting();
    void endPeriod();

    DesktopServices m_services;
    ActiveTest m_anyWindowActive;
    bool m_busy = false;
    bool m_keepingAwake = false;
    QList<Run> m_period; // the batches since the application became busy
};
