// Entry of bramblecrest: the exact "--convert <input> <output>" form converts
// one movie without a window; "--help", "-h" and "--version" alone print and
// exit; every other argument list starts the window. Only the window loads Qt.
#include "CommandLineConversion.h"
#include "GraphicalSession.h"
#include "Usage.h"
#include "WindowModule.h"

#include <cstdio>
#include <string_view>

int main(int argc, char* argv[])
{
    if (argc == 4 && std::string_view(argv[1]) == "--convert")
        return runCommandLineConversion(argv[2], argv[3]);
    if (argc == 2) {
        const std::string_view option = argv[1];
        if (option == "--help" || option == "-h") {
            printUsage(stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (option == "--version") {
            printVersion(stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    if (!graphicalSessionNamed(argc, argv)) {
        std::fputs(noGraphicalSessionLine, stderr);
        return 1;
    }
    return startWindowModule(argc, argv);
}
