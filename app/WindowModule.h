// Finds and starts the window's module.
#pragma once

// Loads the module that holds the windowed mode (beside the executable, or
// where it is installed) and runs it. Returns its exit status, or 1 with a
// message on standard error when it cannot be loaded.
int startWindowModule(int argc, char* argv[]);
