// Entry of bramblecrest: the exact "--convert <input> <output>" form converts
// one movie without a window; every other argument list starts the window.
#include "CommandLineConversion.h"
#include "WindowModule.h"

#include <string_view>

int main(int argc, char* argv[])
{
    if (argc == 4 && std::string_view(argv[1]) == "--convert")
        return runCommandLineConversion(argv[2], argv[3]);
    return startWindowModule(argc, argv);
}
