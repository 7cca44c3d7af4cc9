// QApplication (file dialogs need widgets), one QML engine, and the window set;
// or, when the application already runs in this session, a hand-over to it.
#include "WindowedStart.h"

#include "ApplicationService.h"
#include "DialogFilePicker.h"
#include "DisplayConnectionGuard.h"
#include "LaunchRequest.h"
#include "TerminationSignals.h"
#include "WindowSet.h"

#include <QApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QtQml/qqmlextensionplugin.h>
#include <filesystem>

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

    LaunchRequest launch;
    // Before the platform plugin starts: it takes the X11 startup id from the
    // environment.
    launch.platformData = LaunchRequest::platformDataFromEnvironment();
    // File dialogs follow the desktop: the portal's file chooser where the
    // session has one, else the desktop's own theme, which the portal theme
    // falls back to. Set before any thread that starts children exists, so
    // no child sees a half-changed environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORMTHEME"))
        qputenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal");

    // A display that refuses the connection ends the start with one line, not Qt's abort.
    DisplayConnectionGuard connecting;
    QApplication application(argc, argv);
    connecting.release();
    QApplication::setApplicationName(u"Bramblecrest"_s);
    QApplication::setDesktopFileName(ApplicationService::applicationId);
    QApplication::setWindowIcon(QIcon(u":/Bramblecrest/icons/bramblecrest.svg"_s));
    QQuickStyle::setStyle(u"Basic"_s);
    // Qt has taken its own options (-platform and the like) out of argv by
    // now. The rest are read as bytes: QCoreApplication::arguments() would
    // turn a file name that is not UTF-8 into another name.
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    std::error_code noFolder;
    const std::string workingFolder = std::filesystem::current_path(noFolder).native();
    launch.urls
        = LaunchRequest::urlsFromArguments(arguments, QByteArray::fromStdString(workingFolder));

    QQmlApplicationEngine engine;
    WindowSet windows(engine, [] { return std::make_shared<DialogFilePicker>(); });
    // Ctrl+Q: the windows close first, then the event loop ends.
    QObject::connect(&windows, &WindowSet::allClosed, &application, &QCoreApplication::quit,
        Qt::QueuedConnection);
    // One instance per session: a second start gives its files to the first.
    if (!ApplicationService::publish(&windows, &windows) && ApplicationService::handOver(launch))
        return 0;
    if (launch.urls.isEmpty())
        windows.openWindow();
    else
        windows.open(launch.urls);
    if (termination.received())
        return 0; // told to quit before the event loop could hear it
    return application.exec();
}
