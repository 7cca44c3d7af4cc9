// Reading folders with opendir/readdir: the entry's type comes with its name,
// so a folder of thousands of sidecar files costs no stat per file.
#include "MovieFolders.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct FolderCloser
{
    void operator()(DIR* folder) const { ::closedir(folder); }
};
using OpenFolder = std::unique_ptr<DIR, FolderCloser>;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The letter case of ".mov" is compared by hand: strcasecmp follows the locale.
bool hasMovieExtension(std::string_view name)
{
    if (name.size() <= 4 || name[name.size() - 4] != '.')
        return false;
    const std::string_view extension = name.substr(name.size() - 3);
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(extension[0]) == 'm' && lower(extension[1]) == 'o' && lower(extension[2]) == 'v';
}

int naturalCompare(QStringView left, QStringView right)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < left.size() && j < right.size()) {
        if (isDigit(left[i]) && isDigit(right[j])) {
            // Leading zeros do not count; then the longer run is the larger number.
            while (i < left.size() && left[i] == u'0')
                ++i;
            while (j < right.size() && right[j] == u'0')
                ++j;
            qsizetype leftEnd = i;
            qsizetype rightEnd = j;
            while (leftEnd < left.size() && isDigit(left[leftEnd]))
                ++leftEnd;
            while (rightEnd < right.size() && isDigit(right[rightEnd]))
                ++rightEnd;
            if (leftEnd - i != rightEnd - j)
                return leftEnd - i < rightEnd - j ? -1 : 1;
            if (const int digits
                = left.sliced(i, leftEnd - i).compare(right.sliced(j, rightEnd - j)))
                return digits;
            i = leftEnd;
            j = rightEnd;
            continue;
        }
        const char16_t a = left[i].toCaseFolded().unicode();
        const char16_t b = right[j].toCaseFolded().unicode();
        if (a != b)
            return a < b ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < left.size() || j < right.size())
        return i < left.size() ? 1 : -1;
    return 0;
}

// A directory entry's name, and how it is shown and ordered.
struct Entry
{
    QByteArray name;
    QString shown;

    explicit Entry(const char* bytes)
        : name(bytes)
        , shown(QString::fromUtf8(name))
    {
    }
};

// Names that look the same once shown come in the order of their bytes.
bool entryLess(const Entry& left, const Entry& right)
{
    if (movieFolders::naturalLess(left.shown, right.shown))
        return true;
    return !movieFolders::naturalLess(right.shown, left.shown) && left.name < right.name;
}

// A link counts as a movie when it leads to a regular file: a link to a
// folder is never followed.
bool linksToFile(int folder, const char* name)
{
    struct stat target;
    return ::fstatat(folder, name, &target, 0) == 0 && S_ISREG(target.st_mode);
}

// Reads the folder open as `fd`, which it takes over, at `path` into `movies`.
void readFolder(int fd, const QByteArray& path, QByteArrayList& movies, const std::stop_token& stop)
{
    OpenFolder folder(::fdopendir(fd));
    if (!folder) {
        ::close(fd);
        return;
    }
    const int folderFd = ::dirfd(folder.get());

    std::vector<Entry> files;
    std::vector<Entry> subfolders;
    while (const dirent* entry = ::readdir(folder.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue; // hidden, and "." and ".."
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            // Some file systems do not say; only then is the entry looked at.
            struct stat info;
            if (::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR
                : S_ISLNK(info.st_mode)  ? DT_LNK
                : S_ISREG(info.st_mode)  ? DT_REG
                                         : DT_UNKNOWN;
        }
        if (type == DT_DIR)
            subfolders.emplace_back(name);
        else if (hasMovieExtension(name)
            && (type == DT_REG || (type == DT_LNK && linksToFile(folderFd, name))))
            files.emplace_back(name);
    }

    const QByteArray prefix = path.endsWith('/') ? path : path + '/';
    std::sort(files.begin(), files.end(), entryLess);
    for (const Entry& file : files)
        movies.append(prefix + file.name);
    std::sort(subfolders.begin(), subfolders.end(), entryLess);
    for (const Entry& entry : subfolders) {
        if (stop.stop_requested())
            return;
        // O_NOFOLLOW: a folder replaced by a link since it was listed is not followed either.
        const int subfolder = ::openat(
            folderFd, entry.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (subfolder >= 0)
            readFolder(subfolder, prefix + entry.name, movies, stop);
    }
}

} // namespace

bool movieFolders::isFolder(const QByteArray& path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QByteArrayList movieFolders::moviesIn(const QByteArray& path, std::stop_token stop)
{
    QByteArrayList movies;
    const int folder = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
        readFolder(folder, path, movies, stop);
    return movies;
}

bool movieFolders::naturalLess(const QString& left, const QString& right)
{
    const int natural = naturalCompare(left, right);
    return natural != 0 ? natural < 0 : left < right;
}
