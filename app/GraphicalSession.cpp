// Over ssh or in a script there is no display; Qt would abort with a core
// dump there, so the command line asks first.
#include "GraphicalSession.h"

#include <cstdlib>
#include <string_view>

namespace {

bool isSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

bool graphicalSessionNamed(int argc, char* argv[])
{
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM"))
        return true;
    // Qt takes "-platform NAME" (or "--platform NAME") from the arguments too.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-platform" || argument == "--platform")
            return true;
    }
    return false;
}
