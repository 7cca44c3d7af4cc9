// Keeps the computer from sleeping while conversions run, for the window and
// the command line alike: a logind "sleep:idle" inhibitor, or the desktop
// portal's where logind is not there. Plain C++, so the command line, which
// loads no Qt, uses it too.
#pragma once

#include <memory>
#include <string>

class KeepAwake
{
public:
    // D-Bus addresses to ask instead of the system and session buses of the
    // environment; only the tests set them.
    struct Buses
    {
        std::string system;
        std::string session;
    };

    // Asks on a thread of its own and returns at once: a conversion never
    // waits for the answer, and goes on without one.
    explicit KeepAwake(Buses buses = {});
    // Gives the inhibitor back, without waiting for any answer.
    ~KeepAwake();
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;

    // Whether logind's descriptor or the portal's request is held now.
    bool held() const;

    struct Request;

private:
    std::shared_ptr<Request> m_request;
};
