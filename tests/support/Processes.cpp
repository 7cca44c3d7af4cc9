// /proc/<pid>/stat reading.
#include "Processes.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

QList<pid_t> childProcesses(pid_t parent, const QByteArray& name)
{
    QList<pid_t> found;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile stat(u"/proc/%1/stat"_s.arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid ...; comm may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        const QByteArray comm = line.mid(open + 1, close - open - 1);
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (comm == name && fields.value(1).toInt() == parent)
            found.append(entry.toInt());
    }
    return found;
}
