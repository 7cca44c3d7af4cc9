// The box on Linux: Landlock for the files (and TCP, and signals, where the
// kernel has them), a seccomp filter against sockets, RLIMIT_AS for memory
// and no new privileges, each left out where the kernel lacks it.
#include "Sandbox.h"

#include "SystemError.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <elf.h>
#include <fcntl.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <optional>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;

// What Debian 12's kernel headers (Landlock ABI 2) do not define yet.
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14) // ABI 3
#endif
#ifndef LANDLOCK_ACCESS_FS_IOCTL_DEV
#define LANDLOCK_ACCESS_FS_IOCTL_DEV (1ULL << 15) // ABI 5
#endif
#ifndef LANDLOCK_ACCESS_NET_BIND_TCP
#define LANDLOCK_ACCESS_NET_BIND_TCP (1ULL << 0) // ABI 4
#define LANDLOCK_ACCESS_NET_CONNECT_TCP (1ULL << 1)
#endif
#ifndef LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET
#define LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET (1ULL << 0) // ABI 6
#define LANDLOCK_SCOPE_SIGNAL (1ULL << 1)
#endif

namespace {

// struct landlock_ruleset_attr as ABI 6 has it. The kernel is given only the
// part its ABI knows, so an older one does not refuse the rest.
struct RulesetAttributes
{
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0; // ABI 4
    std::uint64_t scoped = 0; // ABI 6
};

constexpr std::uint64_t abi1FileSystemRights = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;
constexpr std::uint64_t readFolder = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;

// Where the dynamic loader, the libraries, their data and the system's
// configuration live: what ffmpeg reads before it touches the movie. The
// user's files are elsewhere (/home, /media, /mnt, /tmp, /run/media).
constexpr std::array<const char*, 6> systemFolders { "/usr", "/lib", "/lib32", "/lib64", "/libx32",
    "/etc" };

int landlockAbi()
{
    // 0 where the kernel has none (ENOSYS), or left it out at boot (EOPNOTSUPP).
    static const int abi = [] {
        const long version
            = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
        return version > 0 ? static_cast<int>(version) : 0;
    }();
    return abi;
}

std::uint64_t handledFileSystemRights(int abi)
{
    std::uint64_t rights = abi1FileSystemRights;
    if (abi >= 2)
        rights |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        rights |= LANDLOCK_ACCESS_FS_TRUNCATE;
    if (abi >= 5)
        rights |= LANDLOCK_ACCESS_FS_IOCTL_DEV;
    return rights;
}

// seccomp's filter, the same for every child: made once, kept for the
// program's life. Every socket() fails, so neither the network nor a local
// service (the session bus, which could start programs outside the box) can
// be reached; io_uring, which creates sockets past this filter, is absent;
// the terminal an inherited standard input may be cannot be typed into; no
// other process can be traced. A system call of another architecture (x32,
// i386), which these rules would not see, ends the process. Nothing when the
// kernel has no seccomp filters.
const std::vector<sock_filter>* seccompFilter()
{
    static const std::optional<std::vector<sock_filter>> filter
        = []() -> std::optional<std::vector<sock_filter>> {
        std::uint32_t action = SECCOMP_RET_ERRNO;
        if (::syscall(SYS_seccomp, SECCOMP_GET_ACTION_AVAIL, 0, &action) != 0)
            return std::nullopt;
        const scmp_filter_ctx context = ::seccomp_init(SCMP_ACT_ALLOW);
        if (!context)
            return std::nullopt;
        bool made
            = ::seccomp_attr_set(context, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS) == 0;
        const auto deny = [&](int call, int error) {
            made = made && ::seccomp_rule_add(context, SCMP_ACT_ERRNO(error), call, 0) == 0;
        };
        deny(SCMP_SYS(socket), EACCES);
        deny(SCMP_SYS(io_uring_setup), ENOSYS);
        deny(SCMP_SYS(io_uring_enter), ENOSYS);
        deny(SCMP_SYS(io_uring_register), ENOSYS);
        deny(SCMP_SYS(ptrace), EPERM);
        deny(SCMP_SYS(process_vm_readv), EPERM);
        deny(SCMP_SYS(process_vm_writev), EPERM);
        // The request is an int to the kernel: compare its low 32 bits only.
        for (const unsigned long request : { TIOCSTI, TIOCLINUX }) {
            made = made
                && ::seccomp_rule_add(context, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(ioctl), 1,
                       SCMP_A1(SCMP_CMP_MASKED_EQ, 0xFFFFFFFFu, request))
                    == 0;
        }
        // libseccomp 2.5 exports only to a descriptor.
        std::vector<sock_filter> program;
        const FileDescriptor memory(::memfd_create("seccomp-filter", MFD_CLOEXEC));
        if (made && memory && ::seccomp_export_bpf(context, memory.get()) == 0) {
            const off_t size = ::lseek(memory.get(), 0, SEEK_END);
            program.resize(
                static_cast<std::size_t>(std::max<off_t>(size, 0)) / sizeof(sock_filter));
            const auto bytes = static_cast<ssize_t>(program.size() * sizeof(sock_filter));
            if (program.empty() || ::pread(memory.get(), program.data(), bytes, 0) != bytes)
                program.clear();
        }
        ::seccomp_release(context);
        if (program.empty())
            return std::nullopt;
        return program;
    }();
    return filter ? &*filter : nullptr;
}

// The program interpreter (the dynamic loader) an ELF file names, which the
// kernel opens for execution too; nothing for a static program.
template<typename Header, typename ProgramHeader> std::optional<fs::path> interpreterOf(int fd)
{
    Header header;
    if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)
        || header.e_phentsize != sizeof(ProgramHeader))
        return std::nullopt;
    for (unsigned index = 0; index < header.e_phnum; ++index) {
        ProgramHeader entry;
        const off_t at = static_cast<off_t>(header.e_phoff + index * sizeof entry);
        if (::pread(fd, &entry, sizeof entry, at) != static_cast<ssize_t>(sizeof entry))
            return std::nullopt;
        if (entry.p_type != PT_INTERP)
            continue;
        std::string path(std::min<std::size_t>(entry.p_filesz, 4096), '\0');
        if (::pread(fd, path.data(), path.size(), static_cast<off_t>(entry.p_offset))
            != static_cast<ssize_t>(path.size()))
            return std::nullopt;
        path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
        return path;
    }
    return std::nullopt;
}

std::optional<fs::path> programInterpreter(const fs::path& program)
{
    const FileDescriptor file(::open(program.c_str(), O_RDONLY | O_CLOEXEC));
    unsigned char identity[EI_NIDENT];
    if (!file || ::pread(file.get(), identity, sizeof identity, 0) != EI_NIDENT
        || std::string_view(reinterpret_cast<const char*>(identity), SELFMAG) != ELFMAG)
        return std::nullopt;
    if (identity[EI_CLASS] == ELFCLASS64)
        return interpreterOf<Elf64_Ehdr, Elf64_Phdr>(file.get());
    return interpreterOf<Elf32_Ehdr, Elf32_Phdr>(file.get());
}

void allow(int ruleset, const fs::path& path, std::uint64_t rights, bool mayBeAbsent = false)
{
    const std::string failure = "Could not let ffmpeg's sandbox reach " + quoted(path.string());
    const FileDescriptor beneath(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!beneath) {
        if (mayBeAbsent && errno == ENOENT)
            return;
        throwSystemError(errno, failure);
    }
    landlock_path_beneath_attr rule {};
    rule.allowed_access = rights;
    rule.parent_fd = beneath.get();
    if (::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) != 0)
        throwSystemError(errno, failure);
}

FileDescriptor landlockRuleset(const Sandbox::Grants& grants)
{
    const int abi = landlockAbi();
    if (abi == 0)
        return {};
    RulesetAttributes attributes;
    attributes.handledAccessFs = handledFileSystemRights(abi);
    std::size_t size = sizeof attributes.handledAccessFs;
    if (abi >= 4) {
        // No rule names a port: neither connecting nor listening over TCP.
        attributes.handledAccessNet
            = LANDLOCK_ACCESS_NET_BIND_TCP | LANDLOCK_ACCESS_NET_CONNECT_TCP;
        size += sizeof attributes.handledAccessNet;
    }
    if (abi >= 6) {
        // No signals to processes outside the box, no abstract sockets (X11's, for one).
        attributes.scoped = LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET | LANDLOCK_SCOPE_SIGNAL;
        size += sizeof attributes.scoped;
    }
    FileDescriptor ruleset(
        static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0)));
    // Kept clear of 0-2, which the child's standard output and error take
    // over before it enters the box (this process may have started with one closed).
    if (ruleset && ruleset.get() <= STDERR_FILENO)
        ruleset.reset(::fcntl(ruleset.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!ruleset)
        throwSystemError(errno, "Could not prepare the sandbox for ffmpeg");

    for (const char* folder : systemFolders)
        allow(ruleset.get(), folder, readFolder, true);
    const std::uint64_t run = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_EXECUTE;
    allow(ruleset.get(), grants.program, run);
    if (const std::optional<fs::path> loader = programInterpreter(grants.program))
        allow(ruleset.get(), *loader, run);
    allow(ruleset.get(), grants.input, LANDLOCK_ACCESS_FS_READ_FILE);
    if (!grants.output.empty()) {
        // ffmpeg opens it with O_TRUNC, and reads it back to move the index to the front.
        allow(ruleset.get(), grants.output,
            LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE
                | (abi >= 3 ? LANDLOCK_ACCESS_FS_TRUNCATE : 0));
    }
    return ruleset;
}

std::string gibibytes(std::uint64_t bytes)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text,
        static_cast<double>(bytes) / (1ULL << 30), std::chars_format::fixed, 1);
    return std::string(text, end.ptr) + " GiB";
}

} // namespace

std::uint64_t Sandbox::addressSpaceCeiling()
{
    // Measured with ffmpeg 5.1: a 4K HEVC movie encoded to H.264 reserves
    // 2.3 GB of address space on two processors (x264 and the decoder each
    // run a thread or more per processor), about 0.35 GB more per processor.
    // Allowing 4 GiB and 1 GiB per processor leaves room for 8K (6 GB on
    // two); half the memory, where that is more, lets no movie take it all.
    constexpr std::uint64_t gibibyte = 1ULL << 30;
    const long processors = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
    const long pages = std::max(0L, ::sysconf(_SC_PHYS_PAGES));
    const long pageSize = std::max(0L, ::sysconf(_SC_PAGESIZE));
    const std::uint64_t forEncoding = (4 + static_cast<std::uint64_t>(processors)) * gibibyte;
    const std::uint64_t halfTheMemory
        = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 2;
    return std::max(forEncoding, halfTheMemory);
}

Sandbox Sandbox::prepare(const Grants& grants)
{
    Sandbox sandbox;
    sandbox.m_active = true;
    sandbox.m_ruleset = landlockRuleset(grants);
    sandbox.m_filter = seccompFilter();
    // A lower limit this process was given stays.
    rlimit current {};
    if (::getrlimit(RLIMIT_AS, &current) != 0)
        throwSystemError(errno, "Could not read the memory limit");
    const auto ceiling = static_cast<rlim_t>(addressSpaceCeiling());
    sandbox.m_addressSpace.rlim_cur = std::min(current.rlim_cur, ceiling);
    sandbox.m_addressSpace.rlim_max = std::min(current.rlim_max, ceiling);
    return sandbox;
}

int Sandbox::enter() const noexcept
{
    if (!m_active)
        return 0;
    // Required by both Landlock and seccomp for an unprivileged process, and
    // no set-user-ID program run from the box gains what the box took away.
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
        || ::setrlimit(RLIMIT_AS, &m_addressSpace) != 0)
        return errno;
    if (m_ruleset && ::syscall(SYS_landlock_restrict_self, m_ruleset.get(), 0) != 0)
        return errno;
    if (m_filter) {
        sock_fprog program {};
        program.len = static_cast<unsigned short>(m_filter->size());
        program.filter = const_cast<sock_filter*>(m_filter->data());
        if (::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) != 0)
            return errno;
    }
    return 0;
}

std::string Sandbox::description()
{
    std::string line = "Sandbox: ";
    const int abi = landlockAbi();
    if (abi > 0) {
        line += "Landlock ABI " + std::to_string(abi) + " (files";
        if (abi >= 4)
            line += ", network";
        if (abi >= 6)
            line += ", signals";
        line += "), ";
    }
    if (seccompFilter())
        line += "seccomp (network), ";
    line += "memory " + gibibytes(addressSpaceCeiling());
    if (abi == 0 && !seccompFilter())
        line += "; this kernel has neither Landlock nor seccomp";
    else if (abi == 0)
        line += "; this kernel has no Landlock";
    else if (!seccompFilter())
        line += "; this kernel has no seccomp";
    return line;
}
