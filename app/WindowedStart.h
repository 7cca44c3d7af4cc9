// The windowed mode: the application with its first window.
#pragma once

// Runs the application until its last window closes or it is told to quit;
// returns the exit status.
int runWindowed(int argc, char* argv[]);
