// The batch's line: how many movies ended, and once it can be told, how long
// the rest will take at the pace so far.
#include "BatchEstimate.h"

#include "BatchRun.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Before this, the pace is mostly the first inspection's and says little.
constexpr double firstEstimateSeconds = 3;
constexpr int tickMilliseconds = 1000;
// An estimate may fall freely but rises by at most this from one second to
// the next, so one slow stretch does not make the line jump about.
constexpr double largestRiseSeconds = 60;

} // namespace

BatchEstimate::BatchEstimate(const BatchRun& batch, Clock clock, QObject* parent)
    : QObject(parent)
    , m_batch(batch)
    , m_clock(std::move(clock))
{
    if (!m_clock) {
        QElapsedTimer since;
        since.start();
        m_clock = [since] { return since.elapsed(); };
    }
    m_ticks.setInterval(tickMilliseconds);
    connect(&m_ticks, &QTimer::timeout, this, &BatchEstimate::update);
    connect(&batch, &BatchRun::started, this, &BatchEstimate::begin);
    connect(&batch, &BatchRun::pausedChanged, this, &BatchEstimate::followPause);
    connect(&batch, &BatchRun::runningChanged, this, [this] {
        if (!m_batch.running()) {
            m_ticks.stop();
            setText(QString());
        }
    });
}

QString BatchEstimate::timeLeft(double seconds)
{
    if (seconds < 60)
        return u"less than a minute left"_s;
    const auto minutes = static_cast<long long>(std::ceil(seconds / 60 - 1e-9));
    if (minutes < 60)
        return u"about %1 min left"_s.arg(minutes);
    if (minutes % 60 == 0)
        return u"about %1 h left"_s.arg(minutes / 60);
    return u"about %1 h %2 min left"_s.arg(minutes / 60).arg(minutes % 60);
}

void BatchEstimate::begin()
{
    m_startedAt = m_clock();
    m_pausedFor = 0;
    m_pausedAt.reset();
    m_secondsLeft.reset();
    m_taken = m_batch.taken();
    m_ticks.start();
    update();
}

void BatchEstimate::followPause()
{
    if (m_batch.paused()) {
        m_pausedAt = m_clock();
    } else if (m_pausedAt) {
        m_pausedFor += m_clock() - *m_pausedAt;
        m_pausedAt.reset();
    }
    update();
}

void BatchEstimate::update()
{
    if (!m_batch.running())
        return;
    QString line = u"%1 of %2 done"_s.arg(m_batch.finished()).arg(m_batch.taken());
    // Nothing is counted down while nothing converts.
    if (m_pausedAt) {
        setText(u"Paused · "_s + line);
        return;
    }
    const double elapsed = (m_clock() - m_startedAt - m_pausedFor) / 1000.0;
    const double fraction = std::clamp(m_batch.fraction(), 0.0, 1.0);
    if (elapsed >= firstEstimateSeconds && fraction > 0) {
        double secondsLeft = elapsed * (1 - fraction) / fraction;
        if (m_secondsLeft && m_batch.taken() <= m_taken)
            secondsLeft = std::min(secondsLeft, *m_secondsLeft + largestRiseSeconds);
        m_secondsLeft = secondsLeft;
        m_taken = m_batch.taken();
        line += u" · "_s + timeLeft(secondsLeft);
    }
    setText(line);
}

void BatchEstimate::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    Q_EMIT textChanged();
}
