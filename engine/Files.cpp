// File-system operations on POSIX, with the atomic no-replace rename of Linux.
#include "Files.h"

#include "SystemError.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/random.h>
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

FileDescriptor createNewFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throwSystemError(errno, "Could not create " + quoted(path.string()));
    return FileDescriptor(fd);
}

void moveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to)
{
    const std::string failure = "Could not move the converted movie to " + quoted(to.string());
#if defined(__APPLE__)
    if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) != 0)
        throwSystemError(errno, failure);
#else
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        throwSystemError(errno, failure);
    // The file system does not know RENAME_NOREPLACE (some network and FUSE
    // file systems): link() also refuses an existing target, atomically.
    if (::link(from.c_str(), to.c_str()) != 0)
        throwSystemError(errno, failure);
    ::unlink(from.c_str());
#endif
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

std::optional<std::string> readWholeFile(const std::filesystem::path& path)
{
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file)
        return std::nullopt;
    try {
        return readToEnd(file.get(), "a file");
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

void removeQuietly(const std::filesystem::path& path)
{
    ::unlink(path.c_str());
}
