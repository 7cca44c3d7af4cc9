// The MP4 names chosen for conversions still running, shared by every window
// of the process: a name stays taken from the moment a row starts until its
// conversion ends, even before ffmpeg has written anything under it.
#pragma once

#include <QByteArray>

class OutputReservation
{
public:
    OutputReservation() = default;
    // Takes `path` (bytes, as the file system holds names) until this
    // reservation is destroyed or moved from.
    explicit OutputReservation(const QByteArray& path);
    ~OutputReservation();
    OutputReservation(OutputReservation&& other) noexcept;
    OutputReservation& operator=(OutputReservation&& other) noexcept;
    OutputReservation(const OutputReservation&) = delete;
    OutputReservation& operator=(const OutputReservation&) = delete;

    // Whether a running conversion of any window aims at `path`.
    static bool isReserved(const QByteArray& path);

private:
    void release();

    QByteArray m_key; // empty: nothing reserved
};
