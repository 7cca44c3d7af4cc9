// /proc/<pid>/stat reading.
#include "Processes.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// pid (comm) state ppid ...; comm may hold spaces and parentheses. Returns
// false when the process is gone.
bool readStat(const QString& pid, QByteArray& comm, QList<QByteArray>& fields)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return false;
    comm = line.mid(open + 1, close - open - 1);
    fields = line.mid(close + 2).split(' ');
    return true;
}

} // namespace

QList<pid_t> childProcesses(pid_t parent, const QByteArray& name)
{
    QList<pid_t> found;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QByteArray comm;
        QList<QByteArray> fields;
        if (readStat(entry, comm, fields) && comm == name && fields.value(1).toInt() == parent)
            found.append(entry.toInt());
    }
    return found;
}

ProcessStat processStat(pid_t pid)
{
    QByteArray comm;
    QList<QByteArray> fields;
    if (!readStat(QString::number(pid), comm, fields) || fields.size() < 13)
        return {};
    return { fields.at(0).at(0), fields.at(11).toLongLong() + fields.at(12).toLongLong() };
}
