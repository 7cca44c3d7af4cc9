// The command line loads no Qt, and links no D-Bus library either: sd-bus is
// loaded from libsystemd with dlopen on the asking thread, so a conversion
// starts as fast without it and runs where it is missing. Each call has a
// 500 ms timeout; a missing bus, service or library, or a refusal, is no
// failure of the conversion.
#include "KeepAwake.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

struct sd_bus;
struct sd_bus_message;

constexpr unsigned long long replyTimeout = 500'000; // µs
constexpr unsigned portalSuspendAndIdle = 4 | 8; // the portal's Inhibit flags
constexpr const char* reason = "Converting movies";

// The few sd-bus calls used, resolved at run time.
struct SdBus
{
    void* library = nullptr;
    int (*openSystem)(sd_bus**) = nullptr;
    int (*openUser)(sd_bus**) = nullptr;
    int (*setTimeout)(sd_bus*, unsigned long long) = nullptr;
    int (*callMethod)(sd_bus*, const char*, const char*, const char*, const char*, void*,
        sd_bus_message**, const char*, ...)
        = nullptr;
    int (*read)(sd_bus_message*, const char*, ...) = nullptr;
    sd_bus_message* (*unrefMessage)(sd_bus_message*) = nullptr;
    sd_bus* (*closeBus)(sd_bus*) = nullptr;

    bool load()
    {
        library = dlopen("libsystemd.so.0", RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            return false;
        return resolve(openSystem, "sd_bus_open_system") && resolve(openUser, "sd_bus_open_user")
            && resolve(setTimeout, "sd_bus_set_method_call_timeout")
            && resolve(callMethod, "sd_bus_call_method") && resolve(read, "sd_bus_message_read")
            && resolve(unrefMessage, "sd_bus_message_unref")
            && resolve(closeBus, "sd_bus_flush_close_unref");
    }
    template<typename Function> bool resolve(Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(dlsym(library, name));
        return function != nullptr;
    }
};

} // namespace

struct KeepAwake::Request
{
    std::mutex mutex;
    bool ended = false; // the conversion is over: whatever comes in is given back
    int descriptor = -1; // logind's; closing it ends the inhibition
    sd_bus* portalBus = nullptr; // the portal's lasts as long as this connection
    SdBus sdBus;

    // Run on the asking thread.
    void ask()
    {
        if (!sdBus.load())
            return;
        if (askLogind())
            return;
        askPortal();
    }

    bool askLogind()
    {
        sd_bus* bus = nullptr;
        if (sdBus.openSystem(&bus) < 0)
            return false;
        sdBus.setTimeout(bus, replyTimeout);
        sd_bus_message* reply = nullptr;
        int received = -1;
        if (sdBus.callMethod(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                "org.freedesktop.login1.Manager", "Inhibit", nullptr, &reply, "ssss", "sleep:idle",
                "Bramblecrest", reason, "block")
                >= 0
            && sdBus.read(reply, "h", &received) >= 0) {
            // The reply owns the descriptor it carries.
            received = fcntl(received, F_DUPFD_CLOEXEC, 3);
        } else {
            received = -1;
        }
        if (reply)
            sdBus.unrefMessage(reply);
        sdBus.closeBus(bus);
        if (received < 0)
            return false;
        const std::lock_guard lock(mutex);
        if (ended)
            close(received);
        else
            descriptor = received;
        return true;
    }

    void askPortal()
    {
        sd_bus* bus = nullptr;
        if (sdBus.openUser(&bus) < 0)
            return;
        sdBus.setTimeout(bus, replyTimeout);
        sd_bus_message* reply = nullptr;
        const bool taken = sdBus.callMethod(bus, "org.freedesktop.portal.Desktop",
                               "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Inhibit",
                               "Inhibit", nullptr, &reply, "sua{sv}", "", portalSuspendAndIdle, 1,
                               "reason", "s", reason)
            >= 0;
        if (reply)
            sdBus.unrefMessage(reply);
        const std::lock_guard lock(mutex);
        if (taken && !ended)
            portalBus = bus;
        else
            sdBus.closeBus(bus);
    }

    void giveBack()
    {
        const std::lock_guard lock(mutex);
        ended = true;
        if (descriptor >= 0)
            close(std::exchange(descriptor, -1));
        if (portalBus)
            sdBus.closeBus(std::exchange(portalBus, nullptr));
    }
};

KeepAwake::KeepAwake() : m_request(std::make_shared<Request>())
{
    // The thread keeps the request alive: when the conversion ends before an
    // answer came, the thread is left to finish (within the timeouts) and
    // give back what it got, instead of holding up the end of the program.
    try {
        std::thread([request = m_request] { request->ask(); }).detach();
    } catch (const std::system_error&) {
        // No thread, no inhibitor; the conversion does not depend on one.
    }
}

KeepAwake::~KeepAwake()
{
    m_request->giveBack();
}
