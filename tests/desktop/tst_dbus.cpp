// The application's D-Bus faces on a bus of the test's own: the
// org.freedesktop.Application service a file manager's "Open With" calls, and
// revealing a converted file through org.freedesktop.FileManager1.
#include "AppModel.h"
#include "ApplicationService.h"
#include "FakePicker.h"
#include "FileRevealer.h"
#include "FileUrls.h"
#include "LaunchRequest.h"
#include "PrivateBus.h"
#include "WindowSet.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(BramblecrestPlugin)

using namespace Qt::StringLiterals;

namespace {

const QString applicationInterface = u"org.freedesktop.Application"_s;
const QString fileManagerName = u"org.freedesktop.FileManager1"_s;
const QString fileManagerPath = u"/org/freedesktop/FileManager1"_s;

QList<QUrl> queued(const AppModel* model)
{
    QList<QUrl> result;
    for (const QueueItem& item : model->items()->items())
        result.append(item.url);
    return result;
}

// The service answers from this thread, so a blocking call would never get
// its reply: callers wait for the pending call while the event loop runs.
bool answered(const QDBusPendingCall& pending)
{
    return QTest::qWaitFor([&pending] { return pending.isFinished(); });
}

// Waits for the reply; the empty text when it came without an error, else why not.
QString failureOf(const QDBusPendingCall& pending)
{
    if (!answered(pending))
        return u"no reply"_s;
    return pending.isError() ? pending.error().message() : QString();
}

QDBusPendingCall callApplication(const QDBusConnection& client, const QString& method,
    const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(ApplicationService::applicationId,
        ApplicationService::objectPath, applicationInterface, method);
    call.setArguments(arguments);
    return client.asyncCall(call);
}

std::shared_ptr<FilePicker> fakePicker()
{
    return std::make_shared<FakePicker>();
}

} // namespace

// Stands in for the desktop's file manager, recording what it was asked to show.
class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    bool refuses = false;
    QList<QStringList> shown;
    QStringList startupIds;

public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        shown.append(uris);
        startupIds.append(startupId);
        if (refuses)
            sendErrorReply(QDBusError::AccessDenied, u"not showing anything today"_s);
    }
};

// Takes the place of the desktop for file: URLs, so falling back to opening a
// folder launches nothing. (The offscreen platform would not launch anything
// either, but then there would be nothing to see.)
class FolderOpener : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

class DBusTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void opensMoviesInTheOnlyWindow();
    void opensIntoANewWindowWhenThereIsNone();
    void opensInTheFrontmostWindow();
    void activatesWithoutOpeningASecondWindow();
    void refusesTakenNameAndMissingBus();
    void handsASecondLaunchToTheRunningInstance();
    void takesFilesFromArguments_data();
    void takesFilesFromArguments();

    void revealsThroughTheFileManager_data();
    void revealsThroughTheFileManager();
    void opensTheFolderWithoutAFileManager_data();
    void opensTheFolderWithoutAFileManager();

private:
    // A new named connection to the private bus; closed when the test ends.
    QDBusConnection connectToBus(const QString& role);

    QTemporaryDir m_busFolder; // paths where no bus listens
    std::optional<PrivateBus> m_bus;
    QString m_address;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    FolderOpener m_folderOpener;
    QStringList m_connections;
};

void DBusTest::initTestCase()
{
    if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
        QSKIP("dbus-daemon is not installed; these tests need a bus of their own");
    QVERIFY(m_busFolder.isValid());
    m_bus.emplace(u"session"_s);
    m_address = m_bus->address();
    QVERIFY2(!m_address.isEmpty(), "dbus-daemon did not start or printed no address");

    // Whatever reaches for the session bus by mistake finds none, rather than
    // the bus of the desktop the tests run in.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_busFolder.filePath(u"no-bus"_s).toLocal8Bit());

    QDesktopServices::setUrlHandler(u"file"_s, &m_folderOpener, "open");
    QQuickStyle::setStyle(u"Basic"_s);
    m_engine = std::make_unique<QQmlApplicationEngine>();
}

void DBusTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(u"file"_s);
    m_engine.reset();
    m_bus.reset();
}

void DBusTest::cleanup()
{
    // Names go back to the bus only once it notices a connection has closed;
    // giving them back here lets the next test take them at once.
    for (const QString& name : std::as_const(m_connections)) {
        QDBusConnection bus(name);
        if (bus.isConnected()) {
            bus.unregisterService(ApplicationService::applicationId);
            bus.unregisterService(fileManagerName);
        }
        QDBusConnection::disconnectFromBus(name);
    }
    m_connections.clear();
    m_folderOpener.opened.clear();
}

QDBusConnection DBusTest::connectToBus(const QString& role)
{
    static int serial = 0;
    const QString name = u"%1-%2"_s.arg(role).arg(++serial);
    m_connections.append(name);
    return QDBusConnection::connectToBus(m_address, name);
}

void DBusTest::opensMoviesInTheOnlyWindow()
{
    WindowSet windows(*m_engine, fakePicker);
    QQuickWindow* window = windows.openWindow();
    QDBusConnection service = connectToBus(u"service"_s);
    QVERIFY(service.isConnected());
    QVERIFY(ApplicationService::publish(&windows, &windows, service));

    QDBusConnection client = connectToBus(u"client"_s);
    QCOMPARE(client.interface()->serviceOwner(ApplicationService::applicationId).value(),
        service.baseService());

    const QStringList uris {
        u"file:///home/ann/Movies/a.mov"_s,
        u"file:///home/ann/Movies/b.MOV"_s,
        u"file:///home/ann/Movies/notes.txt"_s,
        u"file:///home/ann/Movies/Trip%201.mov"_s,
        u"https://example.com/c.mov"_s,
        u"file:///home/ann/Movies/a.mov"_s,
    };
    const QDBusPendingCall reply = callApplication(client, u"Open"_s, { uris, QVariantMap() });
    QCOMPARE(failureOf(reply), QString());

    QCOMPARE(windows.count(), 1);
    const AppModel* model = windows.modelOf(window);
    QVERIFY(model);
    const QList<QUrl> expected {
        QUrl::fromLocalFile(u"/home/ann/Movies/a.mov"_s),
        QUrl::fromLocalFile(u"/home/ann/Movies/b.MOV"_s),
        QUrl::fromLocalFile(u"/home/ann/Movies/Trip 1.mov"_s),
    };
    QCOMPARE(queued(model), expected);
    QCOMPARE(model->items()->at(2).url.toLocalFile(), u"/home/ann/Movies/Trip 1.mov"_s);
    QCOMPARE(model->notice(), AppModel::refusedKindNotice);
}

void DBusTest::opensIntoANewWindowWhenThereIsNone()
{
    WindowSet windows(*m_engine, {});
    QVERIFY(ApplicationService::publish(&windows, &windows, connectToBus(u"service"_s)));
    const QDBusConnection client = connectToBus(u"client"_s);

    const QDBusPendingCall reply = callApplication(client, u"Open"_s,
        { QStringList { u"file:///srv/clips/first.mov"_s }, QVariantMap() });
    QCOMPARE(failureOf(reply), QString());

    QCOMPARE(windows.count(), 1);
    QQuickWindow* window = windows.frontmost();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(queued(windows.modelOf(window)), QList<QUrl> { QUrl::fromLocalFile(u"/srv/clips/first.mov"_s) });
    QVERIFY(windows.modelOf(window)->notice().isNull());
}

void DBusTest::opensInTheFrontmostWindow()
{
    WindowSet windows(*m_engine, fakePicker);
    QQuickWindow* first = windows.openWindow();
    QQuickWindow* second = windows.openWindow();
    QVERIFY(ApplicationService::publish(&windows, &windows, connectToBus(u"service"_s)));
    const QDBusConnection client = connectToBus(u"client"_s);

    // The window opened last is the one the user is looking at.
    QTRY_VERIFY(second->isActive());
    QCOMPARE(windows.frontmost(), second);
    QDBusPendingCall reply = callApplication(client, u"Open"_s,
        { QStringList { u"file:///srv/clips/one.mov"_s }, QVariantMap() });
    QCOMPARE(failureOf(reply), QString());
    QCOMPARE(queued(windows.modelOf(second)), QList<QUrl> { QUrl::fromLocalFile(u"/srv/clips/one.mov"_s) });
    QCOMPARE(queued(windows.modelOf(first)), QList<QUrl> {});

    // Going back to the first window makes it the one that gets movies.
    first->requestActivate();
    QTRY_VERIFY(first->isActive());
    QCOMPARE(windows.frontmost(), first);
    reply = callApplication(client, u"Open"_s,
        { QStringList { u"file:///srv/clips/two.mov"_s }, QVariantMap() });
    QCOMPARE(failureOf(reply), QString());
    QCOMPARE(queued(windows.modelOf(first)), QList<QUrl> { QUrl::fromLocalFile(u"/srv/clips/two.mov"_s) });
    QCOMPARE(queued(windows.modelOf(second)), QList<QUrl> { QUrl::fromLocalFile(u"/srv/clips/one.mov"_s) });
    QCOMPARE(windows.count(), 2);
    QCOMPARE(windows.frontmost(), first);
}

void DBusTest::activatesWithoutOpeningASecondWindow()
{
    WindowSet windows(*m_engine, fakePicker);
    QVERIFY(ApplicationService::publish(&windows, &windows, connectToBus(u"service"_s)));
    const QDBusConnection client = connectToBus(u"client"_s);

    QDBusPendingCall reply = callApplication(client, u"Activate"_s, { QVariantMap() });
    QCOMPARE(failureOf(reply), QString());
    QCOMPARE(windows.count(), 1);
    QQuickWindow* window = windows.frontmost();
    QVERIFY(window);
    QVERIFY(window->isVisible());

    reply = callApplication(client, u"Activate"_s, { QVariantMap() });
    QCOMPARE(failureOf(reply), QString());
    QCOMPARE(windows.count(), 1);
    QCOMPARE(windows.frontmost(), window);

    // The application has no actions, but the call must still be answered.
    reply = callApplication(client, u"ActivateAction"_s,
        { u"quit"_s, QVariant::fromValue(QVariantList()), QVariantMap() });
    QCOMPARE(failureOf(reply), QString());
    QCOMPARE(windows.count(), 1);
    QCOMPARE(queued(windows.modelOf(window)), QList<QUrl> {});
}

void DBusTest::refusesTakenNameAndMissingBus()
{
    WindowSet running(*m_engine, fakePicker);
    QQuickWindow* runningWindow = running.openWindow();
    const QDBusConnection first = connectToBus(u"service"_s);
    QVERIFY(ApplicationService::publish(&running, &running, first));

    // A second instance finds the name taken and leaves everything as it was.
    WindowSet second(*m_engine, fakePicker);
    QQuickWindow* secondWindow = second.openWindow();
    const QDBusConnection secondBus = connectToBus(u"second"_s);
    QVERIFY(!ApplicationService::publish(&second, &second, secondBus));
    QVERIFY(!second.findChild<QDBusAbstractAdaptor*>());
    QVERIFY(secondBus.objectRegisteredAt(ApplicationService::objectPath) == nullptr);

    const QDBusConnection client = connectToBus(u"client"_s);
    QCOMPARE(client.interface()->serviceOwner(ApplicationService::applicationId).value(), first.baseService());
    const QDBusPendingCall reply = callApplication(client, u"Open"_s,
        { QStringList { u"file:///srv/clips/kept.mov"_s }, QVariantMap() });
    QCOMPARE(failureOf(reply), QString());
    QCOMPARE(queued(running.modelOf(runningWindow)), QList<QUrl> { QUrl::fromLocalFile(u"/srv/clips/kept.mov"_s) });
    QCOMPARE(queued(second.modelOf(secondWindow)), QList<QUrl> {});

    // Without a bus there is nothing to serve on.
    WindowSet unconnected(*m_engine, fakePicker);
    const QDBusConnection nowhere = QDBusConnection::connectToBus(
        u"unix:path="_s + m_busFolder.filePath(u"nothing-listens-here"_s), u"nowhere"_s);
    m_connections.append(u"nowhere"_s);
    QVERIFY(!nowhere.isConnected());
    QVERIFY(!ApplicationService::publish(&unconnected, &unconnected, nowhere));
    QVERIFY(!unconnected.findChild<QDBusAbstractAdaptor*>());
    QCOMPARE(unconnected.count(), 0);
}

void DBusTest::handsASecondLaunchToTheRunningInstance()
{
    // Nobody serves the application yet: the launch is not taken.
    const QDBusConnection launcher = connectToBus(u"launcher"_s);
    LaunchRequest launch;
    launch.urls = { QUrl::fromLocalFile(u"/srv/clips/a.mov"_s), QUrl::fromLocalFile(u"/srv/clips/b c.mov"_s) };
    launch.platformData = { { u"desktop-startup-id"_s, u"launcher-1_TIME42"_s } };
    QVERIFY(!ApplicationService::handOver(launch, launcher));

    WindowSet windows(*m_engine, fakePicker);
    QQuickWindow* window = windows.openWindow();
    QVERIFY(ApplicationService::publish(&windows, &windows, connectToBus(u"service"_s)));
    QVERIFY(ApplicationService::handOver(launch, launcher));
    QCOMPARE(windows.count(), 1);
    QCOMPARE(queued(windows.modelOf(window)), launch.urls);

    // Without files it is an activation: no second window, nothing queued.
    QVERIFY(ApplicationService::handOver(LaunchRequest(), launcher));
    QCOMPARE(windows.count(), 1);
    QCOMPARE(queued(windows.modelOf(window)), launch.urls);
}

void DBusTest::takesFilesFromArguments_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArrayList>("expected"); // paths relative to the working folder, or URLs

    QTest::newRow("relative and absolute paths, in order, folders too")
        << QByteArrayList { "b.mov", "sub", "WORK/a.mov" }
        << QByteArrayList { "b.mov", "sub", "a.mov" };
    QTest::newRow("file URIs, existing or not")
        << QByteArrayList { "file://WORK/a.mov", "file:///srv/gone%20away.mov" }
        << QByteArrayList { "a.mov", "file:///srv/gone%20away.mov" };
    QTest::newRow("names that are not UTF-8, as paths and URIs")
        << QByteArrayList { "Caf\xe9.mov", "./sub/../Caf\xe9.mov", "file://WORK/Caf%E9.mov",
               "file:///srv/b\xff c.mov" }
        << QByteArrayList { "Caf\xe9.mov", "Caf\xe9.mov", "Caf\xe9.mov",
               "file:///srv/b%FF%20c.mov" };
    QTest::newRow("anything else is left out")
        << QByteArrayList { "--new-window", "missing.mov", "https://example.com/c.mov", "",
               "sub/../notes.txt" }
        << QByteArrayList { "notes.txt" };
}

void DBusTest::takesFilesFromArguments()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(QByteArrayList, expected);

    QTemporaryDir work;
    const QByteArray folder = QFile::encodeName(work.path());
    QDir(work.path()).mkdir(u"sub"_s);
    for (const QByteArray name : { "a.mov", "b.mov", "notes.txt", "Caf\xe9.mov" })
        QCOMPARE(::close(::open(folder + '/' + name, O_WRONLY | O_CREAT, 0644)), 0);
    for (QByteArray& argument : arguments)
        argument.replace("WORK", folder);
    QList<QUrl> urls;
    for (const QByteArray& entry : std::as_const(expected))
        urls.append(entry.contains(':') ? QUrl::fromEncoded(entry)
                                        : fileUrls::fromPath(folder + '/' + entry));

    QCOMPARE(LaunchRequest::urlsFromArguments(arguments, folder), urls);
}

void DBusTest::revealsThroughTheFileManager_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("uri");

    QTest::newRow("space") << "/tmp/x/Trip 1.mp4"_ba << u"file:///tmp/x/Trip%201.mp4"_s;
    QTest::newRow("accents") << "/tmp/x/Été à Nîmes.mp4"_ba
                             << u"file:///tmp/x/%C3%89t%C3%A9%20%C3%A0%20N%C3%AEmes.mp4"_s;
    QTest::newRow("percent and hash")
        << "/tmp/x/50% #2.mp4"_ba << u"file:///tmp/x/50%25%20%232.mp4"_s;
    QTest::newRow("not UTF-8") << "/tmp/x/Caf\xe9 \xff.mp4"_ba
                               << u"file:///tmp/x/Caf%E9%20%FF.mp4"_s;
}

void DBusTest::revealsThroughTheFileManager()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, uri);

    FakeFileManager fileManager;
    QDBusConnection desktop = connectToBus(u"filemanager"_s);
    QVERIFY(desktop.registerService(fileManagerName));
    QVERIFY(desktop.registerObject(fileManagerPath, &fileManager, QDBusConnection::ExportAllSlots));

    FileRevealer revealer(connectToBus(u"revealer"_s));
    QSignalSpy openedFolder(&revealer, &FileRevealer::openedFolder);
    revealer.reveal(fileUrls::fromPath(path));

    QTRY_COMPARE(fileManager.shown.size(), 1);
    QCOMPARE(fileManager.shown.constFirst(), QStringList { uri });
    QCOMPARE(fileManager.startupIds, QStringList { QString() });

    // Once the revealer has dealt with the answer (its call's watcher is gone),
    // a file manager that answered must not be followed by a folder window.
    QTRY_VERIFY(revealer.findChildren<QDBusPendingCallWatcher*>().isEmpty());
    QCOMPARE(openedFolder.count(), 0);
    QCOMPARE(m_folderOpener.opened, QList<QUrl> {});
    QCOMPARE(fileManager.shown.size(), 1);
}

enum class Desktop { NoFileManager, RefusingFileManager, NoBus };

void DBusTest::opensTheFolderWithoutAFileManager_data()
{
    QTest::addColumn<Desktop>("desktop");

    QTest::newRow("no file manager on the bus") << Desktop::NoFileManager;
    QTest::newRow("file manager answers with an error") << Desktop::RefusingFileManager;
    QTest::newRow("no bus") << Desktop::NoBus;
}

void DBusTest::opensTheFolderWithoutAFileManager()
{
    QFETCH(Desktop, desktop);

    FakeFileManager fileManager;
    fileManager.refuses = true;
    if (desktop == Desktop::RefusingFileManager) {
        QDBusConnection bus = connectToBus(u"filemanager"_s);
        QVERIFY(bus.registerService(fileManagerName));
        QVERIFY(bus.registerObject(fileManagerPath, &fileManager, QDBusConnection::ExportAllSlots));
    }
    const QDBusConnection bus = desktop == Desktop::NoBus
        ? QDBusConnection::connectToBus(u"unix:path="_s + m_busFolder.filePath(u"nothing-listens-here"_s),
              u"nowhere"_s)
        : connectToBus(u"revealer"_s);
    if (desktop == Desktop::NoBus)
        m_connections.append(u"nowhere"_s);
    QCOMPARE(bus.isConnected(), desktop != Desktop::NoBus);

    FileRevealer revealer(bus);
    QSignalSpy openedFolder(&revealer, &FileRevealer::openedFolder);
    revealer.reveal(QUrl::fromLocalFile(u"/tmp/x/Trip 1.mp4"_s));

    QTRY_COMPARE(openedFolder.count(), 1);
    QCOMPARE(openedFolder.constFirst().constFirst().toUrl(), QUrl::fromLocalFile(u"/tmp/x"_s));
    QCOMPARE(m_folderOpener.opened, QList<QUrl> { QUrl::fromLocalFile(u"/tmp/x"_s) });
    if (desktop == Desktop::RefusingFileManager)
        QCOMPARE(fileManager.shown, QList<QStringList> { { u"file:///tmp/x/Trip%201.mp4"_s } });
}

QTEST_MAIN(DBusTest)
#include "tst_dbus.moc"
