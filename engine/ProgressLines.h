// ffmpeg's "-progress" stream, read as it arrives: how far the output has got.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class ProgressLines
{
public:
    // `duration` is the movie's length in seconds, 0 when it is not known.
    explicit ProgressLines(double duration)
        : m_duration(duration)
    {
    }

    // Takes the next bytes of the stream, however the pipe split them. Every
    // complete "out_time_us=" line whose value is a finite number moves reached() on
    // and, while the duration is known, calls `report` with the fraction of
    // the movie done, at most 0.99; a line still lacking its line feed waits
    // for the next bytes.
    void read(std::string_view bytes, const std::function<void(double fraction)>& report);

    // The furthest output time the stream has reported, in seconds.
    double reached() const { return m_reached; }

private:
    double m_duration;
    double m_reached = 0;
    std::string m_pending; // decoded text from the last line feed on
};
