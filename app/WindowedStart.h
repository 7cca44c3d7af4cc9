// The windowed mode: the application with its first window. It lives in a
// module of its own, loaded only when the window is wanted, so that the
// command line starts without loading Qt.
#pragma once

// Runs the application until its last window closes or it is told to quit;
// returns the exit status.
extern "C" __attribute__((visibility("default"))) int bramblecrestRunWindowed(int argc, char* argv[]);
