// Modal QFileDialogs for movies and for the destination folder.
#include "DialogFilePicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// The movies folder where there is one, else home. A folder that does not
// exist would be taken by the dialog as a file name to fill in.
QString startFolder()
{
    const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return QFileInfo(movies).isDir() ? movies : QDir::homePath();
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
    return dialog.selectedUrls();
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
    return dialog.selectedUrls();
}
