// The batch run: one conversion at a time on a worker thread, every report
// and outcome posted back to the model's thread in order.
#include "AppModel.h"

#include "Converter.h"

#include <QFile>
#include <exception>

using namespace Qt::StringLiterals;

void AppModel::start()
{
    if (m_running)
        return;
    m_converter->reset();
    setRunning(true);
    setNotice(QString());
    m_batch.clear();
    for (const QueueItem& item : m_items.items()) {
        if (!item.hasOutput())
            m_batch.append(item.id);
    }
    m_nextInBatch = 0;
    QMetaObject::invokeMethod(this, &AppModel::convertNext, Qt::QueuedConnection);
}

void AppModel::convertNext()
{
    joinWorker(); // the previous conversion posted its outcome as its last act
    int row = -1;
    QUuid id;
    while (row < 0) {
        if (m_converter->isCancelled() || m_nextInBatch >= m_batch.size()) {
            m_batch.clear();
            setRunning(false);
            return;
        }
        id = m_batch.at(m_nextInBatch++);
        row = m_items.rowOf(id); // removed meanwhile: skipped
    }

    const QString source = m_items.at(row).url.toLocalFile();
    const QUrl output = outputURL(m_items.at(row).url);
    m_items.setStatus(row, u"Reading video…"_s);
    m_items.setFailed(row, false);
    m_items.setProgress(row, 0);

    // The worker only touches the converter and posts jobs to this object;
    // the destructor joins it before this object goes away.
    m_worker = std::thread([this, converter = m_converter, id, source, output] {
        const auto progress = [this, id](double fraction, const std::string& stage) {
            QMetaObject::invokeMethod(
                this,
                [this, id, fraction, stage = QString::fromStdString(stage)] {
                    const int row = m_items.rowOf(id);
                    if (row < 0)
                        return;
                    m_items.setProgress(row, fraction);
                    m_items.setStatus(row, stage);
                },
                Qt::QueuedConnection);
        };
        QString failure;
        bool failed = false;
        try {
            converter->convert(QFile::encodeName(source).toStdString(),
                QFile::encodeName(output.toLocalFile()).toStdString(), progress);
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
            failed = true;
        }
        QMetaObject::invokeMethod(
            this, [this, id, output, failure, failed] { finishItem(id, output, failure, failed); },
            Qt::QueuedConnection);
    });
}

void AppModel::finishItem(const QUuid& id, const QUrl& output, const QString& failure, bool failed)
{
    const int row = m_items.rowOf(id);
    if (row >= 0) {
        if (failed) {
            m_items.setStatus(row, failure);
            m_items.setFailed(row, true);
        } else {
            m_items.setOutput(row, output);
            m_items.setStatus(row, u"Done"_s);
            m_items.setProgress(row, 1);
        }
    }
    convertNext();
}

void AppModel::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}
