// Child processes of a process, read from /proc, to prove none is left running.
#pragma once

#include <QByteArray>
#include <QList>
#include <sys/types.h>

// The children of `parent` whose command name is `name`.
QList<pid_t> childProcesses(pid_t parent, const QByteArray& name);
