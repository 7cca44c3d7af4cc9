// The file-system operations of a conversion run.
#pragma once

#include "FileDescriptor.h"

#include <filesystem>
#include <optional>
#include <string>

// $TMPDIR when set and not empty, else /tmp.
std::filesystem::path temporaryDirectory();

// A random (version 4) UUID in canonical upper-case text, 8-4-4-4-12.
std::string randomUuid();

// Creates a new, empty file open for writing, readable only by its owner.
// Never opens an existing file or follows a link. Throws std::system_error.
FileDescriptor createNewFile(const std::filesystem::path& path);

// Renames `from` to `to` in one step that fails, rather than replaces, when
// `to` exists. Throws std::system_error naming the target.
void moveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Reads one chunk, waiting for at least one byte; 0 means end of stream.
// Throws std::system_error naming `what`.
std::size_t readSome(int fd, char* buffer, std::size_t size, const char* what);

// Everything until end of stream. Throws std::system_error naming `what`.
std::string readToEnd(int fd, const char* what);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// Removes a file, ignoring every error (it may never have been made).
void removeQuietly(const std::filesystem::path& path);
