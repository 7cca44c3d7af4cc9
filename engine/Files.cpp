// File-system operations on POSIX, with the atomic no-replace rename of Linux.
#include "Files.h"

#include "SystemError.h"

#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <stdio.h> // renamex_np
#endif

std::filesystem::path temporaryDirectory()
{
    const char* directory = std::getenv("TMPDIR");
    if (directory && *directory)
        return directory;
    return "/tmp";
}

std::string randomUuid()
{
    std::array<unsigned char, 16> bytes {};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError(errno, "Could not get random bytes for a file name");
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes[6] = (bytes[6] & 0x0F) | 0x40; // version 4
    bytes[8] = (bytes[8] & 0x3F) | 0x80; // RFC 4122 variant

    std::string text;
    text.reserve(36);
    static constexpr char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back('-');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

FileDescriptor createAnonymousFile(const std::filesystem::path& folder)
{
#if defined(O_TMPFILE)
    FileDescriptor file(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (file)
        return file;
    // Older kernels and some file systems do not know O_TMPFILE.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throwSystemError(errno, "Could not create a file in " + quoted(folder.string()));
#endif
    const std::filesystem::path path = folder / ("bramblecrest-" + randomUuid() + ".log");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throwSystemError(errno, "Could not create " + quoted(path.string()));
    ::unlink(path.c_str());
    return FileDescriptor(fd);
}

namespace {

// The errors of a no-replace primitive that the file system does not offer,
// as opposed to a refusal of this particular move.
bool unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EPERM || error == EOPNOTSUPP
        || error == ENOTSUP;
}

// fsync's answers from a file system that has no way to flush, as opposed to
// one that tried and failed. EROFS is not among them: the file and its
// folder were written a moment ago, so a file system that is read-only now
// turned so after an error, and what it held back is lost.
bool cannotFlush(int error)
{
    return error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP;
}

// 0 once what `fd` refers to is on the disk (or cannot be flushed), else the error.
int flushDescriptor(int fd)
{
#if defined(__APPLE__)
    // fsync on macOS only hands the data to the drive, whose own cache a power
    // cut empties; network volumes and some drives do not know F_FULLFSYNC.
    if (::fcntl(fd, F_FULLFSYNC) == 0)
        return 0;
#endif
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return cannotFlush(errno) ? 0 : errno;
    }
    return 0;
}

// Flushes the folder holding `placed`, so that its entry survives a power cut.
void flushFolderOf(const std::filesystem::path& placed)
{
    const std::filesystem::path parent = placed.parent_path();
    const std::filesystem::path folder = parent.empty() ? "." : parent;
    FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int error = 0;
    if (descriptor) {
        error = flushDescriptor(descriptor.get());
    } else if (errno == EACCES) {
        // A folder one may write to but not list (a drop box) cannot be
        // opened: flush the whole file system it is on, through the file.
        FileDescriptor file(::open(placed.c_str(), O_RDONLY | O_CLOEXEC));
        if (!file)
            return; // neither can be reached; the rename stands as it is
#if defined(__APPLE__)
        error = flushDescriptor(file.get());
#else
        error = ::syncfs(file.get()) == 0 || cannotFlush(errno) ? 0 : errno;
#endif
    } else {
        error = errno;
    }
    if (error != 0)
        throwSystemError(error, unsavedMessage(placed));
}

void renameWithoutReplacing(
    const std::filesystem::path& from, const std::filesystem::path& to, const std::string& failure)
{
#if defined(__APPLE__)
    if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) != 0)
        throwSystemError(errno, failure);
#else
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (!unsupported(errno))
        throwSystemError(errno, failure);
    // Some network and FUSE file systems do not know RENAME_NOREPLACE: link()
    // also refuses an existing target, atomically.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return;
    }
    if (!unsupported(errno))
        throwSystemError(errno, failure);
    // No hard links either (exFAT and FAT, often through FUSE): claim the
    // name with a new file of our own, then replace only that.
    if (FileDescriptor placeholder(
            ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        !placeholder)
        throwSystemError(errno, failure);
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        throwSystemError(error, failure);
    }
#endif
}

} // namespace

std::string unsavedMessage(const std::filesystem::path& target)
{
    return "Could not save the converted movie to " + quoted(target.string());
}

FileDescriptor openWritten(
    const std::filesystem::path& written, const std::filesystem::path& target)
{
    constexpr int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC;
#if defined(O_NOATIME)
    FileDescriptor file(::open(written.c_str(), flags | O_NOATIME));
    if (!file && errno == EPERM)
        file.reset(::open(written.c_str(), flags));
#else
    FileDescriptor file(::open(written.c_str(), flags));
#endif
    if (!file)
        throwSystemError(errno, unsavedMessage(target));
    return file;
}

void flushBeforeMove(int written, const std::filesystem::path& target)
{
    if (const int error = flushDescriptor(written); error != 0)
        throwSystemError(error, unsavedMessage(target));
}

void moveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to)
{
    renameWithoutReplacing(
        from, to, "Could not move the converted movie to " + quoted(to.string()));
    try {
        flushFolderOf(to);
    } catch (const std::system_error&) {
        // A run that fails keeps no MP4, least of all one a power cut may take.
        ::unlink(to.c_str());
        throw;
    }
}

void createNewFile(const std::filesystem::path& path, const std::filesystem::path& target)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY;
    if (!FileDescriptor(::open(path.c_str(), flags, 0666))) {
        const std::string failure
            = "Could not write the converted movie to " + quoted(target.string());
        throwSystemError(errno, failure);
    }
}

void checkCanMoveTo(const std::filesystem::path& from, const std::filesystem::path& to)
{
    const std::string failure = "Could not move the converted movie to " + quoted(to.string());
    for (const std::filesystem::path& path : { from, to }) {
        if (path.native().size() >= PATH_MAX)
            throwSystemError(ENAMETOOLONG, failure);
    }
    // lstat, so a dangling link counts as taken too. A missing folder shows
    // when the hidden output is created.
    struct stat info;
    if (::lstat(to.c_str(), &info) == 0)
        throwSystemError(EEXIST, failure);
    if (errno != ENOENT)
        throwSystemError(errno, failure);
}

std::size_t readSome(int fd, char* buffer, std::size_t size, const char* what)
{
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            throwSystemError(errno, std::string("Could not read ") + what);
    }
}

std::string readToEnd(int fd, const char* what)
{
    std::string contents;
    std::array<char, 65536> buffer;
    while (const std::size_t got = readSome(fd, buffer.data(), buffer.size(), what))
        contents.append(buffer.data(), got);
    return contents;
}

std::optional<std::string> readWholeFile(int fd)
{
    std::string contents;
    std::array<char, 65536> buffer;
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return contents;
        contents.append(buffer.data(), static_cast<std::size_t>(got));
        offset += got;
    }
}

void removeQuietly(const std::filesystem::path& path)
{
    ::unlink(path.c_str());
}
