// The command-line mode: one conversion, one line of result, exit status 0 or 1.
#pragma once

// Converts `input` into `output` (relative paths against the working
// directory). Prints "Conversion completed" on standard output and returns 0,
// or writes the error on standard error and returns 1. On a terminal, a
// progress line on standard error shows how far it is. SIGINT, SIGTERM and
// SIGHUP cancel the run.
int runCommandLineConversion(const char* input, const char* output);
