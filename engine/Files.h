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

// A new file with no name in `folder`, open for reading and writing, readable
// only by its owner, gone from the disk once its last descriptor closes, even
// when this process is killed. Throws std::system_error.
FileDescriptor createAnonymousFile(const std::filesystem::path& folder);

// Creates `path` as a new, empty file (mode 0666 less the umask, as a
// program's output gets), failing when anything stands there. Throws
// std::system_error naming `target`, the name the file is to have.
void createNewFile(const std::filesystem::path& path, const std::filesystem::path& target);

// "Could not save the converted movie to "<target>"", what a failure to finish
// the file that is to have the name `target` says.
std::string unsavedMessage(const std::filesystem::path& target);

// Opens the finished file `written` to read and write it in place. Reading it
// leaves its access time alone where the file system allows it (O_NOATIME
// needs the file to be this user's, which a FUSE drive may deny). Throws
// std::system_error naming `target`, the name the file is to have.
FileDescriptor openWritten(
    const std::filesystem::path& written, const std::filesystem::path& target);

// Waits until the data of the finished file behind `written` is on the disk,
// so the name moveWithoutReplacing() gives it never outlives a power cut
// without it. A file system that has no way to flush (some FUSE drives answer
// EINVAL) is taken as it is; one that fails to write (EIO, ENOSPC) throws
// std::system_error naming `target`.
void flushBeforeMove(int written, const std::filesystem::path& target);

// Renames `from` to `to` so that an existing `to` is never replaced: in one
// step where the file system can, else by claiming `to` with a new empty file
// first and renaming over that. Returns once the new name is on the disk (the
// folder is flushed as flushBeforeMove() flushes a file); when that fails, `to`
// is removed again. Throws std::system_error naming the target.
void moveWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Throws the error moveWithoutReplacing(`from`, `to`) would end with when
// something already stands at `to` or either name is too long, so a
// conversion doomed to that can be refused before it starts.
void checkCanMoveTo(const std::filesystem::path& from, const std::filesystem::path& to);

// Reads one chunk, waiting for at least one byte; 0 means end of stream.
// Throws std::system_error naming `what`.
std::size_t readSome(int fd, char* buffer, std::size_t size, const char* what);

// Everything until end of stream. Throws std::system_error naming `what`.
std::string readToEnd(int fd, const char* what);

// The whole file behind `fd` from its start, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(int fd);

// Removes a file, ignoring every error (it may never have been made).
void removeQuietly(const std::filesystem::path& path);
