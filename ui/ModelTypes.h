// Makes the model's types known to QML without the model knowing QML.
#pragma once

#include "AppModel.h"
#include "QueueList.h"

#include <QtQml/qqml.h>

struct AppModelForeign
{
    Q_GADGET
    QML_FOREIGN(AppModel)
    QML_NAMED_ELEMENT(AppModel)
    QML_UNCREATABLE("Each window is given its AppModel.")
};

struct QueueListForeign
{
    Q_GADGET
    QML_FOREIGN(QueueList)
    QML_NAMED_ELEMENT(QueueListModel) // QueueList is the view that shows it
    QML_UNCREATABLE("The queue belongs to its AppModel.")
};

struct BatchRunForeign
{
    Q_GADGET
    QML_FOREIGN(BatchRun)
    QML_NAMED_ELEMENT(BatchRun)
    QML_UNCREATABLE("The batch belongs to its AppModel.")
};

struct BatchEstimateForeign
{
    Q_GADGET
    QML_FOREIGN(BatchEstimate)
    QML_NAMED_ELEMENT(BatchEstimate)
    QML_UNCREATABLE("The estimate belongs to its AppModel.")
};
