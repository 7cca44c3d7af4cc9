// Entry of bramblecrest: the exact "--convert <input> <output>" form converts
// one movie without a window; every other argument list starts the window.
#include "CommandLineConversion.h"

#include <cstdio>
#include <string_view>

int main(int argc, char* argv[])
{
    if (argc == 4 && std::string_view(argv[1]) == "--convert")
        return runCommandLineConversion(argv[2], argv[3]);
    std::fputs("bramblecrest: the window is not built yet; use --convert <input> <output>\n", stderr);
    return 1;
}
