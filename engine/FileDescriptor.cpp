// Pipes whose ends no child inherits by accident.
#include "FileDescriptor.h"

#include "SystemError.h"

#include <fcntl.h>

Pipe Pipe::create()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throwSystemError(errno, "Could not create a pipe");
    return Pipe { FileDescriptor(fds[0]), FileDescriptor(fds[1]) };
}
