// The real desktop services behind the interfaces.
#include "DesktopServices.h"

#include "DesktopNotifier.h"
#include "KeepAwake.h"
#include "LauncherEntry.h"

#include <optional>

namespace {

// The same inhibitor the command line takes, held for as long as the
// application is busy.
class KeepAwakeWhileHeld : public SleepInhibition
{
public:
    void hold() override
    {
        if (!m_awake)
            m_awake.emplace();
    }
    void release() override { m_awake.reset(); }

private:
    std::optional<KeepAwake> m_awake;
};

} // namespace

DesktopServices DesktopServices::onTheDesktop()
{
    DesktopServices services;
    services.sleep = std::make_unique<KeepAwakeWhileHeld>();
    services.taskbar = std::make_unique<LauncherEntry>();
    services.notifier = std::make_unique<DesktopNotifier>();
    return services;
}
