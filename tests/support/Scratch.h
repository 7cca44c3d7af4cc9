// A test's own folders: one for movies and outputs, one that the engine sees
// as the temporary directory, so leftovers of a run can be counted.
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class Scratch
{
public:
    Scratch()
    {
        QVERIFY(m_files.isValid() && m_temporary.isValid());
        m_previousTmpdir = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_temporary.path().toLocal8Bit());
    }
    ~Scratch() { qputenv("TMPDIR", m_previousTmpdir); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    QString path(const QString& name) const { return m_files.filePath(name); }
    QString folder() const { return m_files.path(); }
    // Every entry of the files folder, hidden ones included.
    QStringList files() const
    {
        return QDir(m_files.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
            QDir::Name);
    }
    // What the engine left in the temporary directory: its logs are named bramblecrest-*.
    QStringList temporaryFiles() const
    {
        return QDir(m_temporary.path())
            .entryList({ QStringLiteral("bramblecrest-*") }, QDir::AllEntries | QDir::Hidden, QDir::Name);
    }

private:
    QTemporaryDir m_files;
    QTemporaryDir m_temporary;
    QByteArray m_previousTmpdir;
};
