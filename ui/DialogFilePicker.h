// The model's file picker on QFileDialog (native through the platform theme
// or the desktop portal where there is one).
#pragma once

#include "FilePicker.h"

class DialogFilePicker : public FilePicker
{
public:
    std::optional<QList<QUrl>> pickMovies() override;
    std::optional<QList<QUrl>> pickFolder() override;
};
