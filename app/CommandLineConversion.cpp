// The command-line mode of bramblecrest.
#include "CommandLineConversion.h"

#include "ConversionFailure.h"
#include "Converter.h"
#include "KeepAwake.h"
#include "TerminalProgress.h"
#include "TerminalStops.h"
#include "TerminationSignals.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace {

void writeError(const std::string& description)
{
    const std::string line = description + "\n";
    std::fputs(line.c_str(), stderr);
}

} // namespace

int runCommandLineConversion(const char* input, const char* output)
{
    Converter converter;
    // Ctrl+Z stops ffmpeg and this process together, as ever; only the time
    // stopped is taken note of.
    const TerminalStops stops;
    const TerminationSignals signals([&converter] { converter.cancel(); });
    // After the signals are blocked, so its thread leaves them to the waiters.
    const KeepAwake awake;
    TerminalProgress progress([&stops] { return stops.stopped(); });
    try {
        converter.convert(std::filesystem::absolute(input), std::filesystem::absolute(output),
            [&progress](
                double fraction, const std::string& stage) { progress.report(fraction, stage); });
    } catch (const std::exception& error) {
        progress.clear();
        // Ctrl+C in a terminal reaches ffmpeg too; when it stops before our
        // cancel() lands, its failure is still the user's cancellation.
        writeError(signals.received() ? ConversionFailure::cancelled : error.what());
        return 1;
    }
    progress.clear();
    std::puts("Conversion completed");
    return 0;
}
