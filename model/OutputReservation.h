// The MP4 names chosen for conversions still running, shared by every window
// of the process: a name stays taken from the moment a row starts until its
// conversion ends, even before ffmpeg has written anything under it.
#pragma once

#include <QString>

class OutputReservation
{
public:
    OutputReservation() = default;
    // Takes `path` until this reservation is destroyed or moved from.
    explicit OutputReservation(const QString& path);
    ~OutputReservation();
    OutputReservation(OutputReservation&& other) noexcept;
    OutputReservation& operator=(OutputReservation&& other) noexcept;
    OutputReservation(const OutputReservation&) = delete;
    OutputReservation& operator=(const OutputReservation&) = delete;

    // Whether a running conversion of any window aims at `path`.
    static bool isReserved(const QString& path);

private:
    void release();

    QString m_key; // empty: nothing reserved
};
