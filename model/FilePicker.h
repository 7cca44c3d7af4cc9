// The modal file choosers the model asks; the window supplies real dialogs,
// tests supply answers.
#pragma once

#include <QList>
#include <QUrl>
#include <optional>

class FilePicker
{
public:
    virtual ~FilePicker() = default;

    // Each answers std::nullopt when the user cancelled, or the chosen URLs
    // when confirmed (possibly none).
    // Several files, narrowed to names ending in .mov in any letter case.
    virtual std::optional<QList<QUrl>> pickMovies() = 0;
    // One folder; the confirm button reads "Save MP4s here".
    virtual std::optional<QList<QUrl>> pickFolder() = 0;
};
