// Turns Qt's abort, when the display refuses the connection, into the one
// line that says no window can be opened.
#pragma once

// Made just before the application object and released once it stands. In
// between, Qt's messages are held back. If the platform plugin then cannot
// start because the display refused the connection (X11 or Wayland), the
// process ends with that one line on standard error and status 1, where Qt
// would abort and dump core. Any other failure passes through as Qt reports
// it. The held messages are passed on when it is released.
class DisplayConnectionGuard
{
public:
    DisplayConnectionGuard();
    DisplayConnectionGuard(const DisplayConnectionGuard&) = delete;
    DisplayConnectionGuard& operator=(const DisplayConnectionGuard&) = delete;
    ~DisplayConnectionGuard() { release(); }

    void release();

private:
    bool m_holding = true;
};
