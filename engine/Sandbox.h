// The box ffprobe and ffmpeg run in: they parse strangers' bytes, so they get
// the files their job needs, a memory ceiling and no sockets, nothing more.
#pragma once

#include "FileDescriptor.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>
#if defined(__linux__)
#include <linux/filter.h>
#include <sys/resource.h>
#endif

// Whether a converter's children run in the box. Only the tests turn it off,
// for stand-in tools that are shell scripts.
enum class Sandboxing { off, on };

class Sandbox
{
public:
    // What a child may touch besides the system's own folders.
    struct Grants
    {
        std::filesystem::path program; // executed, with the loader it names
        std::filesystem::path input; // read
        std::filesystem::path output = {}; // read and written, never created; empty for none
    };

    // No box: the child keeps this process's rights.
    Sandbox() = default;
    Sandbox(Sandbox&&) noexcept = default;
    Sandbox& operator=(Sandbox&&) noexcept = default;

    // Everything the child will need, made here, before the fork: the
    // Landlock ruleset as a descriptor, the seccomp filter as BPF, the
    // memory ceiling. A piece the kernel lacks is left out. Throws
    // std::system_error naming what could not be prepared.
    static Sandbox prepare(const Grants& grants);

    // Shuts the calling process in: called in the forked child before exec,
    // so it makes system calls only (async-signal-safe). Returns 0, or the
    // errno of the step that failed; the child must then not exec.
    int enter() const noexcept;

    // The address space each boxed child may have, in bytes: what a 4K HEVC
    // movie encoded to H.264 needs on this many processors, with room, or
    // half the memory, whichever is more.
    static std::uint64_t addressSpaceCeiling();

    // One line saying which protections are in force on this kernel, such as
    // "Sandbox: Landlock ABI 7 (files, network, signals), seccomp (network),
    // memory 12 GiB".
    static std::string description();

private:
#if defined(__linux__)
    bool m_active = false; // false: no box at all
    FileDescriptor m_ruleset; // Landlock; none where the kernel lacks it
    const std::vector<sock_filter>* m_filter = nullptr; // none where the kernel lacks seccomp
    rlimit m_addressSpace {};
#endif
};
