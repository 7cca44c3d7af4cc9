// The command-line mode: one conversion, one line of result, exit status 0 or 1.
#pragma once

// Converts `input` into `output` (relative paths against the working
// directory), prints "Conversion completed" or the error on standard error,
// and returns the exit status. SIGINT, SIGTERM and SIGHUP cancel the run.
int runCommandLineConversion(const char* input, const char* output);
