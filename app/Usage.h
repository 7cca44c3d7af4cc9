// What `bramblecrest --help` and `bramblecrest --version` print.
#pragma once

#include <cstdio>

// The two forms of the command line, what each does and the exit statuses.
void printUsage(std::FILE* out);
// "bramblecrest" and the version of this build, then which protections the
// box around ffprobe and ffmpeg has on this system.
void printVersion(std::FILE* out);
