// A file picker that gives the answers a test sets, and counts the questions.
#pragma once

#include "FilePicker.h"

class FakePicker : public FilePicker
{
public:
    std::optional<QList<QUrl>> movies; // nullopt: the user cancels
    std::optional<QList<QUrl>> folder;
    int moviePanels = 0;
    int folderPanels = 0;

    std::optional<QList<QUrl>> pickMovies() override
    {
        ++moviePanels;
        return movies;
    }
    std::optional<QList<QUrl>> pickFolder() override
    {
        ++folderPanels;
        return folder;
    }
};
