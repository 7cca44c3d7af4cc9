// Reading ISO base media boxes (ISO/IEC 14496-12; QuickTime's atoms are the
// same) from a file: every box bounded by its parent, every read checked.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

struct Box
{
    std::uint64_t start = 0; // of the header
    std::uint64_t contentStart = 0;
    std::uint64_t end = 0;
    std::array<char, 4> typeBytes {};

    std::string_view type() const { return { typeBytes.data(), typeBytes.size() }; }
    std::uint64_t contentSize() const { return end - contentStart; }
};

// The unsigned number in `count` bytes, most significant first.
std::uint64_t bigEndian(const unsigned char* bytes, int count);

// Reads exactly `size` bytes at `offset` with pread, so no file position is
// shared; false when the file ends first or cannot be read.
bool readExactly(int fd, unsigned char* buffer, std::size_t size, std::uint64_t offset);

// The box starting at `offset` inside a parent ending at `limit`, or nothing
// when its header does not fit or it reaches past the parent.
std::optional<Box> readBox(int fd, std::uint64_t offset, std::uint64_t limit);
