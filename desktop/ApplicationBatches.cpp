// One inhibitor, one taskbar state and at most one notification for all the
// application's batches: windows that each spoke for their own batch would
// overwrite each other's progress on the one taskbar entry, and the first to
// finish would hide it while another still converts.
#include "ApplicationBatches.h"

#include <algorithm>

ApplicationBatches::ApplicationBatches(
    DesktopServices services, ActiveTest anyWindowActive, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_anyWindowActive(std::move(anyWindowActive))
{
    if (m_services.notifier) {
        connect(m_services.notifier.get(), &CompletionNotifier::clicked, this,
            &ApplicationBatches::notificationClicked);
    }
}

ApplicationBatches::~ApplicationBatches()
{
    if (m_keepingAwake)
        m_services.sleep->release();
    if (m_busy && m_services.taskbar)
        m_services.taskbar->hide();
}

void ApplicationBatches::follow(BatchRun* batch)
{
    connect(batch, &BatchRun::started, this, [this, batch] { onStarted(batch); });
    connect(batch, &BatchRun::progressed, this, &ApplicationBatches::showProgress);
    connect(batch, &BatchRun::pausedChanged, this, &ApplicationBatches::keepAwakeWhileConverting);
    connect(batch, &BatchRun::ended, this,
        [this, batch](const BatchRun::Outcome& outcome) { onEnded(batch, outcome); });
    // A window closed during its batch stops it without an end of its own:
    // that is the user's doing, like a cancellation.
    connect(batch, &QObject::destroyed, this, [this, batch] {
        BatchRun::Outcome stopped;
        stopped.cancelled = true;
        onEnded(batch, stopped);
    });
    if (batch->running())
        onStarted(batch);
}

void ApplicationBatches::onStarted(BatchRun* batch)
{
    const bool periodStarts = !m_busy;
    if (periodStarts) {
        m_busy = true;
        m_period.clear();
    }
    m_period.append({ batch, batch, batch->taken(), false, {} });
    keepAwakeWhileConverting();
    if (periodStarts)
        Q_EMIT busyChanged();
    showProgress();
}

void ApplicationBatches::onEnded(const BatchRun* batch, const BatchRun::Outcome& outcome)
{
    Run* run = runOf(batch);
    if (!run)
        return;
    run->ended = true;
    run->batch = nullptr;
    run->outcome = outcome;
    if (std::any_of(m_period.cbegin(), m_period.cend(), [](const Run& other) { return !other.ended; }))
        showProgress();
    else
        endPeriod();
}

ApplicationBatches::Run* ApplicationBatches::runOf(const BatchRun* batch)
{
    for (auto run = m_period.rbegin(); run != m_period.rend(); ++run) {
        if (run->key == batch && !run->ended)
            return &*run;
    }
    return nullptr;
}

double ApplicationBatches::fraction() const
{
    double done = 0;
    int taken = 0;
    for (const Run& run : m_period) {
        taken += run.taken;
        done += run.batch ? run.batch->fraction() * run.taken : run.taken;
    }
    return taken > 0 ? done / taken : 0;
}

int ApplicationBatches::left() const
{
    int left = 0;
    for (const Run& run : m_period) {
        if (run.batch)
            left += run.batch->left();
    }
    return left;
}

void ApplicationBatches::showProgress()
{
    if (m_busy && m_services.taskbar)
        m_services.taskbar->show(fraction(), left());
}

// A paused batch holds nothing that sleep could harm: its children are
// stopped, and carry on once resumed after the computer wakes. Only a
// converting batch keeps the computer awake.
void ApplicationBatches::keepAwakeWhileConverting()
{
    const bool converting = std::any_of(m_period.cbegin(), m_period.cend(), [](const Run& run) {
        return !run.ended && run.batch && run.batch->running() && !run.batch->paused();
    });
    if (!m_services.sleep || converting == m_keepingAwake)
        return;
    m_keepingAwake = converting;
    if (converting)
        m_services.sleep->hold();
    else
        m_services.sleep->release();
}

void ApplicationBatches::endPeriod()
{
    // The outcomes of the batches that ran to their end; a cancelled one was
    // the user's own doing, seen to in its window.
    BatchRun::Outcome total;
    const Run* only = nullptr;
    for (const Run& run : std::as_const(m_period)) {
        if (run.outcome.cancelled)
            continue;
        total.converted += run.outcome.converted;
        total.failed += run.outcome.failed;
        if (run.outcome.converted + run.outcome.failed > 0)
            only = &run;
    }
    if (total.converted + total.failed == 1 && only)
        total.onlyName = only->outcome.onlyName;
    m_period.clear();
    m_busy = false;
    keepAwakeWhileConverting();
    if (m_services.taskbar)
        m_services.taskbar->hide();
    Q_EMIT busyChanged();
    // The user who looks at a window sees the batches end there.
    if (m_services.notifier && !(m_anyWindowActive && m_anyWindowActive()))
        m_services.notifier->notify(total);
}
