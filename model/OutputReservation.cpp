// One set of reserved targets for the whole process, behind a lock of its own
// so that it does not matter which thread a window's model lives on.
#include "OutputReservation.h"

#include <QSet>
#include <filesystem>
#include <mutex>
#include <utility>

namespace {

std::mutex reservationLock;
QSet<QByteArray>& reservedKeys()
{
    static QSet<QByteArray> keys;
    return keys;
}

// The same folder reached through a symbolic link, or written with a
// trailing slash, must give the same key. Compared as bytes: two names that
// look alike on screen are two files.
QByteArray keyOf(const QByteArray& path)
{
    namespace fs = std::filesystem;
    const fs::path target(path.toStdString());
    std::error_code error;
    fs::path folder = fs::canonical(target.parent_path(), error);
    if (error)
        folder = fs::absolute(target.parent_path(), error).lexically_normal();
    return QByteArray::fromStdString((folder / target.filename()).native());
}

} // namespace

OutputReservation::OutputReservation(const QByteArray& path)
    : m_key(keyOf(path))
{
    const std::lock_guard guard(reservationLock);
    reservedKeys().insert(m_key);
}

OutputReservation::~OutputReservation()
{
    release();
}

OutputReservation::OutputReservation(OutputReservation&& other) noexcept
    : m_key(std::exchange(other.m_key, QByteArray()))
{
}

OutputReservation& OutputReservation::operator=(OutputReservation&& other) noexcept
{
    if (this != &other) {
        release();
        m_key = std::exchange(other.m_key, QByteArray());
    }
    return *this;
}

bool OutputReservation::isReserved(const QByteArray& path)
{
    const QByteArray key = keyOf(path);
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
