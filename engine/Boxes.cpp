// Box headers and big-endian numbers read with pread.
#include "Boxes.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

std::uint64_t bigEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

bool readExactly(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got
            = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<Box> readBox(int fd, std::uint64_t offset, std::uint64_t limit)
{
    unsigned char header[16];
    if (offset > limit || limit - offset < 8 || !readExactly(fd, header, 8, offset))
        return std::nullopt;
    Box box;
    box.start = offset;
    std::uint64_t size = bigEndian(header, 4);
    box.contentStart = offset + 8;
    if (size == 1) { // a 64-bit size follows the type
        if (limit - offset < 16 || !readExactly(fd, header + 8, 8, offset + 8))
            return std::nullopt;
        size = bigEndian(header + 8, 8);
        box.contentStart = offset + 16;
    } else if (size == 0) { // reaches to the end of its parent
        size = limit - offset;
    }
    if (size < box.contentStart - offset || size > limit - offset)
        return std::nullopt;
    box.end = offset + size;
    std::copy(header + 4, header + 8, box.typeBytes.begin());
    return box;
}
