// dlopen of the windowed mode: the command line then pays nothing for Qt's
// libraries, which would otherwise all be loaded at every start.
#include "WindowModule.h"

#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <system_error>
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace fs = std::filesystem;

namespace {

fs::path executableFolder()
{
#if defined(__APPLE__)
    char path[PATH_MAX];
    std::uint32_t size = sizeof path;
    if (_NSGetExecutablePath(path, &size) != 0)
        return {};
    return fs::weakly_canonical(path).parent_path();
#else
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).parent_path();
#endif
}

} // namespace

int startWindowModule(int argc, char* argv[])
{
    const fs::path folder = executableFolder();
    // Beside the executable in the build tree; in its library folder once installed.
    const fs::path candidates[] { folder / BRAMBLECREST_WINDOW_MODULE,
        folder / BRAMBLECREST_INSTALLED_WINDOW_MODULE };
    std::string failures;
    for (const fs::path& candidate : candidates) {
        // Never closed: the application runs from it until the process ends.
        void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            failures += std::string("\n  ") + ::dlerror();
            continue;
        }
        using Entry = int (*)(int, char*[]);
        if (auto run = reinterpret_cast<Entry>(::dlsym(module, "bramblecrestRunWindowed")))
            return run(argc, argv);
        failures += std::string("\n  ") + ::dlerror();
    }
    std::fprintf(stderr, "bramblecrest: could not load the window:%s\n", failures.c_str());
    return 1;
}
