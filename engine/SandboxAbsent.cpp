// Where the box has not been built (macOS): children run with this process's
// rights. A box of the system's own would be prepared and entered here.
#include "Sandbox.h"

Sandbox Sandbox::prepare(const Grants&)
{
    return {};
}

int Sandbox::enter() const noexcept
{
    return 0;
}

std::uint64_t Sandbox::addressSpaceCeiling()
{
    return 0;
}

std::string Sandbox::description()
{
    return "Sandbox: none on this system";
}
