// Modal QFileDialogs for movies and for the destination folder.
#include "DialogFilePicker.h"

#include "FileUrls.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// The movies folder where there is one, else home. A folder that does not
// exist would be taken by the dialog as a file name to fill in.
QString startFolder()
{
    const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return QFileInfo(movies).isDir() ? movies : QDir::homePath();
}

// The one entry of `folder` whose name shows as `shown`, or nothing.
QByteArray entryShownAs(const QByteArray& folder, const QString& shown)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(
        ::opendir(folder.isEmpty() ? "/" : folder.constData()), &::closedir);
    if (!listing)
        return {};
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(listing.get())) {
        if (QString::fromUtf8(entry->d_name) == shown) {
            found = entry->d_name;
            ++matches;
        }
    }
    return matches == 1 ? found : QByteArray();
}

// Qt's own dialog lists folders as text, so a name that is not UTF-8 comes
// back as another name, with U+FFFD in it. Such a path is found again, one
// component at a time, among the entries that show the same; the portal's
// dialog answers with URIs that keep the bytes and passes unchanged.
QUrl withNameBytes(const QUrl& chosen)
{
    const QByteArray path = fileUrls::path(chosen);
    struct stat info;
    if (path.isEmpty() || ::lstat(path.constData(), &info) == 0)
        return chosen;
    QByteArray found;
    for (const QByteArray& component : path.split('/')) {
        if (component.isEmpty())
            continue;
        QByteArray next = found + '/' + component;
        if (::lstat(next.constData(), &info) != 0) {
            const QByteArray entry = entryShownAs(found, QString::fromUtf8(component));
            if (entry.isEmpty())
                return chosen; // gone, or ambiguous: the row will say so
            next = found + '/' + entry;
        }
        found = next;
    }
    return fileUrls::fromPath(found);
}

QList<QUrl> withNameBytes(const QList<QUrl>& chosen)
{
    QList<QUrl> urls;
    for (const QUrl& url : chosen)
        urls.append(withNameBytes(url));
    return urls;
}

} // namespace

std::optional<QList<QUrl>> DialogFilePicker::pickMovies()
{
    QFileDialog dialog(nullptr, u"Add Movies"_s);
    dialog.setDirectory(startFolder());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // Character classes so CLIP.MOV passes in dialogs that match case-sensitively.
    dialog.setNameFilter(u"QuickTime movies (*.[mM][oO][vV])"_s);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return withNameBytes(dialog.selectedUrls());
}

std::optional<QList<QUrl>> DialogFilePicker::pickFolder()
{
    QFileDialog dialog(nullptr, u"Choose Destination"_s);
    dialog.setDirectory(startFolder());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, u"Save MP4s here"_s);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return withNameBytes(dialog.selectedUrls());
}
