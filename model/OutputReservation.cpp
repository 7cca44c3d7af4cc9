// One set of reserved targets for the whole process, behind a lock of its own
// so that it does not matter which thread a window's model lives on.
#include "OutputReservation.h"

#include <QFileInfo>
#include <QSet>
#include <mutex>
#include <utility>

namespace {

std::mutex reservationLock;
QSet<QString>& reservedKeys()
{
    static QSet<QString> keys;
    return keys;
}

// The same folder reached through a symbolic link, or written with a
// trailing slash, must give the same key.
QString keyOf(const QString& path)
{
    const QFileInfo target(path);
    const QString folder = QFileInfo(target.path()).canonicalFilePath();
    return (folder.isEmpty() ? target.absolutePath() : folder) + u'/' + target.fileName();
}

} // namespace

OutputReservation::OutputReservation(const QString& path) : m_key(keyOf(path))
{
    const std::lock_guard guard(reservationLock);
    reservedKeys().insert(m_key);
}

OutputReservation::~OutputReservation()
{
    release();
}

OutputReservation::OutputReservation(OutputReservation&& other) noexcept
    : m_key(std::exchange(other.m_key, QString()))
{
}

OutputReservation& OutputReservation::operator=(OutputReservation&& other) noexcept
{
    if (this != &other) {
        release();
        m_key = std::exchange(other.m_key, QString());
    }
    return *this;
}

bool OutputReservation::isReserved(const QString& path)
{
    const QString key = keyOf(path);
    const std::lock_guard guard(reservationLock);
    return reservedKeys().contains(key);
}

void OutputReservation::release()
{
    if (m_key.isEmpty())
        return;
    const std::lock_guard guard(reservationLock);
    reservedKeys().remove(m_key);
    m_key.clear();
}
