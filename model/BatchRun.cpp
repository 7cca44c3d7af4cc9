// The batch run. Rows start in queue order. Movies whose video is copied run
// side by side, one per processor: a copy is one core's work (demuxing, the
// AAC encode, writing), so a single lane would leave the other cores idle. A
// movie that must be encoded runs alone, since libx264 already uses every
// core. Each movie is inspected ahead of its turn, so a free lane is taken
// at once. Workers only touch the converter and post every report and
// outcome back to this object's thread, in order.
#include "BatchRun.h"

#include "ConversionFailure.h"
#include "Converter.h"
#include "FileUrls.h"
#include "QueueList.h"

#include <algorithm>
#include <exception>
#include <sched.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int maximumCopyLanes = 4;

// The bytes of the path, which std::filesystem::path keeps as they are.
std::string localPath(const QUrl& url)
{
    return fileUrls::path(url).toStdString();
}

} // namespace

BatchRun::BatchRun(QueueList& items, std::shared_ptr<Converter> converter, OutputNaming naming,
    QObject* parent)
    : QObject(parent)
    , m_items(items)
    , m_converter(std::move(converter))
    , m_naming(std::move(naming))
{
}

BatchRun::~BatchRun()
{
    m_converter->cancel();
    m_workers.joinAll();
}

int BatchRun::copyLanes()
{
    // Online processors, and no more than this process may run on.
    long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    cpu_set_t allowed;
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        processors = std::min<long>(processors, CPU_COUNT(&allowed));
    return static_cast<int>(std::clamp<long>(processors, 1, maximumCopyLanes));
}

void BatchRun::start()
{
    if (m_running)
        return;
    m_converter->reset();
    m_batch.clear();
    m_stages.clear();
    for (const QueueItem& item : m_items.items()) {
        if (!item.hasOutput()) {
            m_batch.append(item.id);
            m_stages.insert(item.id, Stage::Waiting);
        }
    }
    m_converted = m_failed = m_stopped = m_forgotten = 0;
    m_nextInBatch = 0;
    m_nextToInspect = 0;
    setRunning(true);
    Q_EMIT started();
    QMetaObject::invokeMethod(this, &BatchRun::advance, Qt::QueuedConnection);
}

void BatchRun::forget(const QUuid& id)
{
    if (m_running)
        settle(id, Stage::Forgotten);
}

void BatchRun::pause()
{
    if (!m_running || m_paused)
        return;
    m_converter->pause();
    setPaused(true);
}

void BatchRun::resume()
{
    if (!m_paused)
        return;
    m_converter->resume();
    setPaused(false);
    QMetaObject::invokeMethod(this, &BatchRun::advance, Qt::QueuedConnection);
}

void BatchRun::cancel()
{
    m_converter->cancel();
    // Paused, there may be nothing running whose end would end the batch.
    if (m_paused) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_running)
                    advance();
            },
            Qt::QueuedConnection);
    }
}

// Starts what may start now, in queue order, and ends the batch once nothing
// is left to start and nothing runs. Called whenever a job of the batch ends.
void BatchRun::advance()
{
    const bool cancelled = m_converter->isCancelled();
    const bool holding = cancelled || m_paused;
    while (!holding && m_nextInBatch < m_batch.size()) {
        const QUuid id = m_batch.at(m_nextInBatch);
        const int row = m_items.rowOf(id);
        if (row < 0) { // removed meanwhile: skipped
            m_inspections.remove(id);
            settle(id, Stage::Forgotten);
            ++m_nextInBatch;
            continue;
        }
        const auto found = m_inspections.constFind(id);
        if (found == m_inspections.constEnd() || !found->done)
            break; // its turn comes when its inspection ends
        const Inspection inspection = *found;
        // A failed inspection and HDR end at once, but still at the row's
        // turn, which comes as it would for a copy.
        const bool encodes
            = !inspection.failed && !inspection.info.copyVideo && !inspection.info.hdr;
        const bool laneFree = encodes
            ? m_conversions.empty()
            : !encodeRunning() && std::ssize(m_conversions) < m_lanes;
        if (!laneFree)
            break;
        m_inspections.remove(id);
        ++m_nextInBatch;
        if (inspection.failed) {
            beginTurn(row);
            finishItem(id, QUrl(), inspection.failure, true);
        } else {
            startConversion(id, row, inspection.info, encodes);
        }
    }
    if (!holding)
        inspectAhead();
    if (m_conversions.empty() && m_inspecting == 0
        && (cancelled || m_nextInBatch >= m_batch.size()))
        endBatch();
}

// Keeps up to one inspected movie per lane waiting for its turn.
void BatchRun::inspectAhead()
{
    while (m_nextToInspect < m_batch.size() && m_nextToInspect - m_nextInBatch < m_lanes) {
        const QUuid id = m_batch.at(m_nextToInspect++);
        const int row = m_items.rowOf(id);
        if (row < 0)
            continue;
        const std::string source = localPath(m_items.at(row).url);
        m_inspections.insert(id, Inspection());
        ++m_inspecting;
        m_workers.start("bramble-inspect",
            [this, converter = m_converter, id, source](WorkerThreads::Id thread) {
                Inspection inspection;
                try {
                    inspection.info = converter->inspect(source);
                } catch (const std::exception& error) {
                    inspection.failed = true;
                    inspection.failure = QString::fromUtf8(error.what());
                }
                inspection.done = true;
                QMetaObject::invokeMethod(
                    this,
                    [this, thread, id, inspection] {
                        m_workers.join(thread);
                        --m_inspecting;
                        const auto found = m_inspections.find(id);
                        if (found != m_inspections.end()) // else removed from the queue
                            *found = inspection;
                        advance();
                    },
                    Qt::QueuedConnection);
            });
    }
}

void BatchRun::beginTurn(int row)
{
    m_items.setStatus(row, u"Reading video…"_s);
    m_items.setFailed(row, false);
    m_items.setProgress(row, 0);
}

void BatchRun::startConversion(const QUuid& id, int row, const MovieInfo& info, bool encodes)
{
    // Chosen and taken in one step on this thread, so no other row of any
    // window can be given the same name before this conversion ends.
    const QUrl output = m_naming(m_items.at(row).url);
    Conversion conversion { encodes, OutputReservation(fileUrls::path(output)), 0 };
    const std::string source = localPath(m_items.at(row).url);
    beginTurn(row);
    m_conversions.emplace(id, std::move(conversion));
    m_stages[id] = Stage::Running;

    m_workers.start("bramble-convert",
        [this, converter = m_converter, id, source, info, output](WorkerThreads::Id thread) {
            const auto progress = [this, id](double fraction, const std::string& stage) {
                QMetaObject::invokeMethod(
                    this,
                    [this, id, fraction, stage = QString::fromStdString(stage)] {
                        reportProgress(id, fraction, stage);
                    },
                    Qt::QueuedConnection);
            };
            QString failure;
            bool failed = false;
            try {
                converter->convert(source, info, localPath(output), progress);
            } catch (const std::exception& error) {
                failure = QString::fromUtf8(error.what());
                failed = true;
            }
            QMetaObject::invokeMethod(
                this,
                [this, thread, id, output, failure, failed] {
                    m_workers.join(thread);
                    finishItem(id, output, failure, failed);
                    m_conversions.erase(id); // the name is free again, or the file holds it
                    advance();
                },
                Qt::QueuedConnection);
        });
}

void BatchRun::reportProgress(const QUuid& id, double fraction, const QString& stage)
{
    const int row = m_items.rowOf(id);
    if (row < 0)
        return;
    const auto running = m_conversions.find(id);
    if (running != m_conversions.end())
        running->second.fraction = std::clamp(fraction, 0.0, 1.0);
    m_items.setProgress(row, fraction);
    m_items.setStatus(row, stage);
    Q_EMIT progressed();
}

void BatchRun::finishItem(const QUuid& id, const QUrl& output, const QString& failure, bool failed)
{
    const int row = m_items.rowOf(id);
    if (row < 0) {
        settle(id, Stage::Forgotten);
        return;
    }
    if (failed) {
        m_items.setStatus(row, failure);
        m_items.setFailed(row, true);
    } else {
        m_items.setOutput(row, output);
        m_items.setStatus(row, u"Done"_s);
        m_items.setProgress(row, 1);
    }
    const bool stopped = failed && failure == QLatin1String(ConversionFailure::cancelled);
    settle(id, stopped ? Stage::Stopped : failed ? Stage::Failed : Stage::Converted);
}

// Counts a movie once, when it first leaves the waiting or running stage.
void BatchRun::settle(const QUuid& id, Stage stage)
{
    const auto found = m_stages.find(id);
    if (found == m_stages.end() || (*found != Stage::Waiting && *found != Stage::Running))
        return;
    *found = stage;
    if (stage == Stage::Converted)
        ++m_converted;
    else if (stage == Stage::Failed)
        ++m_failed;
    else if (stage == Stage::Stopped)
        ++m_stopped;
    else if (stage == Stage::Forgotten)
        ++m_forgotten;
    Q_EMIT progressed();
}

double BatchRun::fraction() const
{
    if (m_batch.isEmpty())
        return 0;
    double done = finished() + m_forgotten; // a movie gone from the queue is no longer waited for
    for (const auto& [id, conversion] : m_conversions) {
        if (m_stages.value(id) == Stage::Running)
            done += conversion.fraction;
    }
    return done / m_batch.size();
}

bool BatchRun::cancelled() const
{
    // A movie that never had its turn was held back by a cancellation.
    return m_stopped > 0 || finished() + m_forgotten < taken();
}

BatchRun::Outcome BatchRun::outcome() const
{
    Outcome result;
    result.converted = m_converted;
    result.failed = m_failed;
    result.cancelled = cancelled();
    if (m_batch.size() == 1) {
        const int row = m_items.rowOf(m_batch.constFirst());
        if (row >= 0)
            result.onlyName = fileUrls::displayName(m_items.at(row).url);
    }
    return result;
}

bool BatchRun::encodeRunning() const
{
    return std::any_of(m_conversions.begin(), m_conversions.end(),
        [](const auto& running) { return running.second.encodes; });
}

void BatchRun::endBatch()
{
    m_inspections.clear();
    m_nextInBatch = m_nextToInspect = 0;
    setRunning(false);
    // After the end, so nothing takes it for a resumption.
    setPaused(false);
    Q_EMIT ended(outcome());
}

void BatchRun::setPaused(bool paused)
{
    if (m_paused == paused)
        return;
    m_paused = paused;
    Q_EMIT pausedChanged();
}

void BatchRun::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    Q_EMIT runningChanged();
}
