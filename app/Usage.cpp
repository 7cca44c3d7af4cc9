// The usage text is kept short; the manual page has the details.
#include "Usage.h"

#include "Sandbox.h"

namespace {

constexpr const char* usage = R"(Usage: bramblecrest [FILE|FOLDER]...
       bramblecrest --convert INPUT OUTPUT

Turns QuickTime movies (.mov) into MP4 files for a video editor.

bramblecrest [FILE|FOLDER]...
    Opens the window and queues the movies given, and the movies inside each
    folder given (with its subfolders); the window converts them.
bramblecrest --convert INPUT OUTPUT
    Converts the movie INPUT into the MP4 file OUTPUT without a window and
    prints "Conversion completed". On a terminal, a line shows its progress.

  -h, --help     print this help and exit
      --version  print the version and exit

Exit status: 0 on success; 1 when the conversion failed or was cancelled,
or when no window can be opened.

See bramblecrest(1).
)";

} // namespace

void printUsage(std::FILE* out)
{
    std::fputs(usage, out);
}

void printVersion(std::FILE* out)
{
    std::fputs("bramblecrest " BRAMBLECREST_VERSION "\n", out);
    std::fprintf(out, "%s\n", Sandbox::description().c_str());
}
