// Makes the desktop services the views call known to QML, without the
// desktop layer knowing QML.
#pragma once

#include "FileRevealer.h"

#include <QtQml/qqml.h>

struct FileRevealerForeign
{
    Q_GADGET
    QML_FOREIGN(FileRevealer)
    QML_NAMED_ELEMENT(FileRevealer)
    QML_SINGLETON
};
