// Child processes of a process, read from /proc, to prove none is left running.
#pragma once

#include <QByteArray>
#include <QList>
#include <sys/types.h>

// The children of `parent` whose command name is `name`.
QList<pid_t> childProcesses(pid_t parent, const QByteArray& name);

struct ProcessStat
{
    char state = 0; // 'R', 'S', 'T' while stopped, ...; 0 once gone
    qint64 cpuTicks = 0; // processor time used so far, user and system
};
ProcessStat processStat(pid_t pid);
