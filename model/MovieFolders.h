// The QuickTime movies inside a folder the user opened: a camera card or a
// phone's export, listed as a file manager shows it.
#pragma once

#include <QByteArrayList>
#include <QString>
#include <stop_token>

namespace movieFolders {

// Whether `path` is a folder, through a symbolic link too: the user chose it.
bool isFolder(const QByteArray& path);

// The paths of the .mov files (any letter case) inside the folder `path`,
// recursively, as the bytes the directory entries hold: in each folder first
// its movies, then its subfolders, each in natural order of the names as
// shown (then by their bytes). Hidden entries (a leading ".") are skipped,
// and so are symbolic links to folders (no loops) and subfolders that cannot
// be read. Returns what it has found so far once `stop` is requested.
QByteArrayList moviesIn(const QByteArray& path, std::stop_token stop = {});

// Natural name order, the same in every locale: runs of digits compare by
// their value ("Clip 2" before "Clip 10"), other characters without regard
// to letter case; names equal that way compare exactly, so the order is total.
bool naturalLess(const QString& left, const QString& right);

} // namespace movieFolders
