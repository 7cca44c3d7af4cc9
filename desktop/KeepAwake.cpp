// sd-bus is loaded from libsystemd with dlopen on the asking thread, so the
// command line links no D-Bus library and starts as fast without it, and both
// modes run where it is missing. Each call has a 500 ms timeout; a missing
// bus, service or library, or a refusal, is no failure of a conversion.
#include "KeepAwake.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

constexpr unsigned long long replyTimeout = 500'000; // µs
constexpr unsigned portalSuspendAndIdle = 4 | 8; // the portal's Inhibit flags
constexpr const char* reason = "Converting movies";

// The few sd-bus calls used, resolved at run time.
struct SdBus
{
    void* library = nullptr;
    int (*openSystem)(sd_bus**) = nullptr;
    int (*openUser)(sd_bus**) = nullptr;
    int (*create)(sd_bus**) = nullptr;
    int (*setAddress)(sd_bus*, const char*) = nullptr;
    int (*setBusClient)(sd_bus*, int) = nullptr;
    int (*start)(sd_bus*) = nullptr;
    int (*setTimeout)(sd_bus*, unsigned long long) = nullptr;
    int (*callMethod)(sd_bus*, const char*, const char*, const char*, const char*, void*,
        sd_bus_message**, const char*, ...)
        = nullptr;
    int (*callMethodAsync)(sd_bus*, sd_bus_slot**, const char*, const char*, const char*,
        const char*, void*, void*, const char*, ...)
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
            && resolve(create, "sd_bus_new") && resolve(setAddress, "sd_bus_set_address")
            && resolve(setBusClient, "sd_bus_set_bus_client") && resolve(start, "sd_bus_start")
            && resolve(setTimeout, "sd_bus_set_method_call_timeout")
            && resolve(callMethod, "sd_bus_call_method")
            && resolve(callMethodAsync, "sd_bus_call_method_async")
            && resolve(read, "sd_bus_message_read")
            && resolve(unrefMessage, "sd_bus_message_unref")
            && resolve(closeBus, "sd_bus_flush_close_unref");
    }
    template<typename Function> bool resolve(Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(dlsym(library, name));
        return function != nullptr;
    }

    // The bus at `address`, or the environment's own when it is empty.
    sd_bus* connect(const std::string& address, int (*openDefault)(sd_bus**)) const
    {
        sd_bus* bus = nullptr;
        if (address.empty())
            return openDefault(&bus) >= 0 ? bus : nullptr;
        if (create(&bus) < 0)
            return nullptr;
        if (setAddress(bus, address.c_str()) < 0 || setBusClient(bus, 1) < 0 || start(bus) < 0) {
            closeBus(bus);
            return nullptr;
        }
        return bus;
    }
};

} // namespace

struct KeepAwake::Request
{
    Buses buses;
    mutable std::mutex mutex;
    bool ended = false; // the conversions are over: whatever comes in is given back
    int descriptor = -1; // logind's; closing it ends the inhibition
    // The portal's lasts until its request is closed, or this connection is.
    sd_bus* portalBus = nullptr;
    std::string portalRequest;
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
        sd_bus* bus = sdBus.connect(buses.system, sdBus.openSystem);
        if (!bus)
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
        sd_bus* bus = sdBus.connect(buses.session, sdBus.openUser);
        if (!bus)
            return;
        sdBus.setTimeout(bus, replyTimeout);
        sd_bus_message* reply = nullptr;
        const char* path = nullptr;
        const bool taken = sdBus.callMethod(bus, "org.freedesktop.portal.Desktop",
                               "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Inhibit",
                               "Inhibit", nullptr, &reply, "sua{sv}", "", portalSuspendAndIdle, 1,
                               "reason", "s", reason)
                >= 0
            && sdBus.read(reply, "o", &path) >= 0;
        const std::lock_guard lock(mutex);
        if (taken && !ended) {
            portalBus = bus;
            portalRequest = path;
            bus = nullptr;
        }
        if (reply)
            sdBus.unrefMessage(reply);
        if (bus)
            sdBus.closeBus(bus);
    }

    bool held() const
    {
        const std::lock_guard lock(mutex);
        return descriptor >= 0 || portalBus;
    }

    void giveBack()
    {
        const std::lock_guard lock(mutex);
        ended = true;
        if (descriptor >= 0)
            close(std::exchange(descriptor, -1));
        if (portalBus) {
            // Closed without waiting for an answer; the connection's end
            // closes it too, for a portal that missed the call.
            sdBus.callMethodAsync(portalBus, nullptr, "org.freedesktop.portal.Desktop",
                portalRequest.c_str(), "org.freedesktop.portal.Request", "Close", nullptr, nullptr,
                "");
            sdBus.closeBus(std::exchange(portalBus, nullptr));
        }
    }
};

KeepAwake::KeepAwake(Buses buses) : m_request(std::make_shared<Request>())
{
    m_request->buses = std::move(buses);
    // The thread keeps the request alive: when the conversions end before an
    // answer came, the thread is left to finish (within the timeouts) and
    // give back what it got, instead of holding up the caller.
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

bool KeepAwake::held() const
{
    return m_request->held();
}
