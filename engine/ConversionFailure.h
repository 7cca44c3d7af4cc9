// The engine's own failure: an exception whose what() is exactly the message
// the user is shown.
#pragma once

#include <stdexcept>
#include <string>

class ConversionFailure : public std::runtime_error
{
public:
    explicit ConversionFailure(const std::string& message) : std::runtime_error(message) { }

    std::string message() const { return what(); }

    static constexpr const char* missingTools
        = "FFmpeg is missing. This app uses FFmpeg and ffprobe installed on this computer.";
    static constexpr const char* noVideoTrack
        = "Could not read a video track. Check that the MOV is complete and playable.";
    static constexpr const char* cancelled = "Cancelled";
    static constexpr const char* hdrFootage = "This is HDR footage. Use a color-managed "
                                              "HDR-to-SDR export before converting with "
                                              "Bramblecrest.";
    static constexpr const char* unreadableSound = "The sound of this movie is in a format that "
                                                   "FFmpeg on this computer cannot read. Nothing "
                                                   "was converted.";
    static constexpr const char* damagedMovie
        = "This movie is damaged or incomplete, so it cannot be converted.";
    static constexpr const char* notQuickTime
        = "This file is not a QuickTime movie, so it cannot be converted.";
    static constexpr const char* tooLittleMemory = "This movie needs more memory than a conversion "
                                                   "may use on this computer, so it cannot be "
                                                   "converted.";
    static constexpr const char* conversionFailedPrefix = "Conversion failed: ";
    static constexpr const char* incompleteResult = "The converted movie is incomplete. Check that "
                                                    "there is enough free space where it is saved.";

    // The movie yielded `covered` seconds of the `expected` its header promised.
    static ConversionFailure endsEarly(double covered, double expected);
    // ffmpeg was ended by `signal` and logged nothing.
    static ConversionFailure stoppedBySignal(int signal);
};
