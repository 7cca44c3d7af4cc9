// Keeps the computer from sleeping while the command line converts: a logind
// "sleep:idle" inhibitor, or the desktop portal's where logind is not there.
#pragma once

#include <memory>

class KeepAwake
{
public:
    // Asks on a thread of its own and returns at once: the conversion never
    // waits for the answer, and goes on without one.
    KeepAwake();
    // Gives the inhibitor back.
    ~KeepAwake();
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;

    struct Request;

private:
    std::shared_ptr<Request> m_request;
};
