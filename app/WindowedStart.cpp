// QApplication (file dialogs need widgets), one QML engine, and the window set.
#include "WindowedStart.h"

#include "ApplicationService.h"
#include "DialogFilePicker.h"
#include "TerminationSignals.h"
#include "WindowSet.h"

#include <QApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(BramblecrestPlugin)

using namespace Qt::StringLiterals;

int bramblecrestRunWindowed(int argc, char* argv[])
{
    // SIGINT, SIGTERM and SIGHUP close the application the normal way, so each
    // window's model stops its conversion and removes its files.
    const TerminationSignals termination([] {
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(application, &QCoreApplication::quit, Qt::QueuedConnection);
    });

    QApplication application(argc, argv);
    QApplication::setApplicationName(u"Bramblecrest"_s);
    QApplication::setDesktopFileName(ApplicationService::applicationId);
    QApplication::setWindowIcon(QIcon(u":/Bramblecrest/icons/bramblecrest.svg"_s));
    QQuickStyle::setStyle(u"Basic"_s);

    QQmlApplicationEngine engine;
    WindowSet windows(engine, [] { return std::make_shared<DialogFilePicker>(); });
    ApplicationService::publish(&windows);
    windows.openWindow();
    if (termination.received())
        return 0; // told to quit before the event loop could hear it
    return application.exec();
}
