// What the application's batches show outside its windows, against fake
// desktop services on buses of the test's own: logind's sleep inhibitor on a
// system bus; the portal's, the taskbar entry and the notification server on
// a session bus.
#include "AppModel.h"
#include "FakePicker.h"
#include "KeepAwake.h"
#include "LauncherEntry.h"
#include "Movies.h"
#include "PrivateBus.h"
#include "Scratch.h"
#include "WindowSet.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(BramblecrestPlugin)

using namespace Qt::StringLiterals;

namespace {

// What logind is asked for: no sleep and no idle action, by Bramblecrest, blocking.
const QStringList inhibitArguments { u"sleep:idle"_s, u"Bramblecrest"_s, u"Converting movies"_s, u"block"_s };

// Makes a window that is not Bramblecrest's the active one.
void activate(QWindow* window)
{
    window->resize(100, 100);
    window->show();
    window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

} // namespace

// logind's manager: each Inhibit hands out the write end of a pipe, so the
// test sees on the read end when the last copy of the descriptor is closed.
class FakeLogind : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogind() override
    {
        for (int end : std::as_const(m_readEnds))
            ::close(end);
    }
    bool refuses = false;
    QList<QStringList> calls;

    // How many of the handed-out descriptors are still open somewhere.
    int held() const
    {
        int open = 0;
        for (int end : m_readEnds) {
            pollfd watch { end, POLLIN, 0 };
            if (::poll(&watch, 1, 0) == 0 || !(watch.revents & POLLHUP))
                ++open;
        }
        return open;
    }

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
        const QString& mode)
    {
        calls.append({ what, who, why, mode });
        if (refuses) {
            sendErrorReply(QDBusError::AccessDenied, u"not today"_s);
            return {};
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return {};
        m_readEnds.append(ends[0]);
        const QDBusUnixFileDescriptor descriptor(ends[1]); // a copy of its own
        ::close(ends[1]);
        return descriptor;
    }

private:
    QList<int> m_readEnds;
};

class FakePortalRequest : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

public:
    bool closed = false;

public Q_SLOTS:
    void Close() { closed = true; }
};

class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

public:
    explicit FakePortal(QDBusConnection bus) : m_bus(bus) { }
    QList<uint> flags;
    QStringList reasons;
    std::vector<std::unique_ptr<FakePortalRequest>> requests;

public Q_SLOTS:
    QDBusObjectPath Inhibit(const QString&, uint flags, const QVariantMap& options)
    {
        this->flags.append(flags);
        reasons.append(options.value(u"reason"_s).toString());
        const QString path = u"/org/freedesktop/portal/desktop/request/1/%1"_s.arg(requests.size());
        requests.push_back(std::make_unique<FakePortalRequest>());
        m_bus.registerObject(path, requests.back().get(), QDBusConnection::ExportAllSlots);
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        QString icon, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Shown> shown;

public Q_SLOTS:
    uint Notify(const QString&, uint, const QString& icon, const QString& summary, const QString& body,
        const QStringList& actions, const QVariantMap& hints, int)
    {
        shown.append({ icon, summary, body, actions, hints });
        return 40 + shown.size();
    }
};

// Listens for the taskbar entry's Update signals, as a dock does.
class Dock : public QObject
{
    Q_OBJECT

public:
    QList<QVariantMap> updates;

public Q_SLOTS:
    void Update(const QString& uri, const QVariantMap& properties)
    {
        if (uri == LauncherEntry::applicationUri)
            updates.append(properties);
    }
};

class BatchServicesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void showsTwoWindowsBatchesAsOne();
    void givesTheInhibitorBackWhenStopped_data();
    void givesTheInhibitorBackWhenStopped();
    void letsTheComputerSleepWhileAllArePaused();
    void fallsBackToThePortalAndRunsWithoutEither_data();
    void fallsBackToThePortalAndRunsWithoutEither();
    void notifiesWhenNoWindowIsActive_data();
    void notifiesWhenNoWindowIsActive();
    void keepsTheCommandLineAwake();

private:
    QDBusConnection connect(const QString& address, const QString& role);

    std::unique_ptr<PrivateBus> m_system;
    std::unique_ptr<PrivateBus> m_session;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    std::unique_ptr<FakeLogind> m_logind;
    std::unique_ptr<FakePortal> m_portal;
    FakeNotifications m_notifications;
    Dock m_dock;
    QStringList m_connections;
};

QDBusConnection BatchServicesTest::connect(const QString& address, const QString& role)
{
    m_connections.append(role);
    return QDBusConnection::connectToBus(address, role);
}

void BatchServicesTest::initTestCase()
{
    m_system = std::make_unique<PrivateBus>(u"system"_s);
    m_session = std::make_unique<PrivateBus>(u"session"_s);
    if (m_system->address().isEmpty() || m_session->address().isEmpty())
        QSKIP("dbus-daemon could not start buses for these tests");
    // Before anything asks for the buses, which Qt connects to once.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_system->address().toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_session->address().toUtf8());
    QQuickStyle::setStyle(u"Basic"_s);
    m_engine = std::make_unique<QQmlApplicationEngine>();
}

void BatchServicesTest::init()
{
    // The previous test's connections are closed, but the bus may not have
    // released their names yet: the registrations wait for that.
    m_logind = std::make_unique<FakeLogind>();
    QDBusConnection system = connect(m_system->address(), u"logind"_s);
    QTRY_VERIFY(system.registerService(u"org.freedesktop.login1"_s));
    QVERIFY(system.registerObject(u"/org/freedesktop/login1"_s, m_logind.get(), QDBusConnection::ExportAllSlots));

    QDBusConnection desktop = connect(m_session->address(), u"desktop"_s);
    m_portal = std::make_unique<FakePortal>(desktop);
    QTRY_VERIFY(desktop.registerService(u"org.freedesktop.portal.Desktop"_s));
    QVERIFY(desktop.registerObject(u"/org/freedesktop/portal/desktop"_s, m_portal.get(), QDBusConnection::ExportAllSlots));
    QTRY_VERIFY(desktop.registerService(u"org.freedesktop.Notifications"_s));
    QVERIFY(desktop.registerObject(u"/org/freedesktop/Notifications"_s, &m_notifications, QDBusConnection::ExportAllSlots));
    QVERIFY(desktop.connect(QString(), QString(), u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s,
        &m_dock, SLOT(Update(QString, QVariantMap))));
}

void BatchServicesTest::cleanup()
{
    for (const QString& name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    m_connections.clear();
    m_notifications.shown.clear();
    m_dock.updates.clear();
}

void BatchServicesTest::showsTwoWindowsBatchesAsOne()
{
    Scratch scratch;
    WindowSet windows(*m_engine, [] { return std::make_shared<FakePicker>(); });
    AppModel* quick = windows.modelOf(windows.openWindow());
    AppModel* slow = windows.modelOf(windows.openWindow());
    // One window copies a short movie; the other encodes a long one after a
    // copy, so the first batch ends while the second still runs.
    movies::copyTo(movies::h264(), scratch.path(u"One.mov"_s));
    movies::copyTo(movies::h264(), scratch.path(u"Two.mov"_s));
    movies::copyTo(movies::slowEncode(), scratch.path(u"Three.mov"_s));
    quick->add({ QUrl::fromLocalFile(scratch.path(u"One.mov"_s)) });
    slow->add({ QUrl::fromLocalFile(scratch.path(u"Two.mov"_s)),
        QUrl::fromLocalFile(scratch.path(u"Three.mov"_s)) });
    // The user works elsewhere meanwhile.
    QWindow elsewhere;
    activate(&elsewhere);

    QElapsedTimer clock;
    clock.start();
    quick->start();
    slow->start();
    QCOMPARE(windows.batches().left(), 3);
    QCOMPARE(windows.batches().fraction(), 0.0);
    QTRY_COMPARE(m_logind->held(), 1);

    QTRY_VERIFY_WITH_TIMEOUT(!quick->running(), 60000);
    QVERIFY(slow->running());
    const qsizetype afterFirst = m_dock.updates.size();
    QTRY_VERIFY_WITH_TIMEOUT(m_dock.updates.size() > afterFirst, 30000);
    const QVariantMap meanwhile = m_dock.updates.constLast();
    QVERIFY(meanwhile.value(u"progress-visible"_s).toBool());
    QVERIFY(meanwhile.value(u"count"_s).toLongLong() <= 2);
    // The ended batch's movie still counts as done.
    QVERIFY(meanwhile.value(u"progress"_s).toDouble() >= 1.0 / 3);
    QCOMPARE(m_notifications.shown.size(), 0); // nothing while another batch runs
    QCOMPARE(m_logind->held(), 1);

    QTRY_VERIFY_WITH_TIMEOUT(!slow->running(), 120000);
    const qint64 took = clock.elapsed();
    QCOMPARE(quick->items()->outputCount() + slow->items()->outputCount(), 3);

    // One inhibitor for the whole busy period, given back at its end.
    QTRY_COMPARE(m_logind->held(), 0);
    QCOMPARE(m_logind->calls, QList<QStringList> { inhibitArguments });

    // One taskbar entry for both: it fills without going back, a few times a
    // second at most, and is hidden only once the second batch has ended.
    QTRY_VERIFY(!m_dock.updates.constLast().value(u"progress-visible"_s).toBool());
    double previous = 0;
    for (const QVariantMap& update : std::as_const(m_dock.updates).first(m_dock.updates.size() - 1)) {
        QVERIFY(update.value(u"progress-visible"_s).toBool());
        const double progress = update.value(u"progress"_s).toDouble();
        QVERIFY2(progress >= previous && progress <= 1, qPrintable(QString::number(progress)));
        previous = progress;
    }
    QVERIFY2(m_dock.updates.size() <= took / LauncherEntry::interval + 4,
        qPrintable(u"%1 updates in %2 ms"_s.arg(m_dock.updates.size()).arg(took)));
    QCOMPARE(m_dock.updates.constLast().value(u"count-visible"_s).toBool(), false);

    // One notification, for all three movies.
    QTRY_COMPARE(m_notifications.shown.size(), 1);
    QCOMPARE(m_notifications.shown.constFirst().body, u"3 movies converted"_s);
    QTest::qWait(100);
    QCOMPARE(m_notifications.shown.size(), 1);
}

void BatchServicesTest::givesTheInhibitorBackWhenStopped_data()
{
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("cancelled") << false;
    QTest::newRow("window closed") << true;
}

void BatchServicesTest::givesTheInhibitorBackWhenStopped()
{
    QFETCH(bool, closeWindow);
    Scratch scratch;
    WindowSet windows(*m_engine, [] { return std::make_shared<FakePicker>(); });
    QQuickWindow* window = windows.openWindow();
    QPointer<AppModel> model = windows.modelOf(window);
    movies::copyTo(movies::slowEncode(), scratch.path(u"Long.mov"_s));
    model->add({ QUrl::fromLocalFile(scratch.path(u"Long.mov"_s)) });
    model->start();
    QTRY_COMPARE(m_logind->held(), 1);
    // Away from the window, so only the cancellation keeps the notification back.
    QWindow elsewhere;
    activate(&elsewhere);
    QVERIFY(!window->isActive());

    if (closeWindow)
        window->close();
    else
        model->cancel();
    QTRY_COMPARE(m_logind->held(), 0);
    QTRY_VERIFY(!model || !model->running());
    QCOMPARE(m_logind->calls.size(), 1);
    QTest::qWait(100);
    QCOMPARE(m_notifications.shown.size(), 0);
}

void BatchServicesTest::letsTheComputerSleepWhileAllArePaused()
{
    Scratch scratch;
    WindowSet windows(*m_engine, [] { return std::make_shared<FakePicker>(); });
    QList<AppModel*> models;
    for (const QString& name : { u"One.mov"_s, u"Two.mov"_s }) {
        movies::copyTo(movies::slowEncode(), scratch.path(name));
        models.append(windows.modelOf(windows.openWindow()));
        models.last()->add({ QUrl::fromLocalFile(scratch.path(name)) });
        models.last()->start();
    }
    QTRY_COMPARE(m_logind->held(), 1);
    models[0]->pause();
    QTest::qWait(200);
    QCOMPARE(m_logind->held(), 1); // the other window still converts
    models[1]->pause();
    QTRY_COMPARE(m_logind->held(), 0);
    models[1]->resume();
    QTRY_COMPARE(m_logind->held(), 1);
    models[1]->pause();
    for (AppModel* model : models)
        model->cancel();
    QTRY_VERIFY_WITH_TIMEOUT(!models[0]->running() && !models[1]->running(), 20000);
    QCOMPARE(m_logind->calls.size(), 2); // not taken again by the paused batches' end
}

void BatchServicesTest::fallsBackToThePortalAndRunsWithoutEither_data()
{
    QTest::addColumn<bool>("logindRefuses");
    QTest::addColumn<bool>("portalThere");
    QTest::addColumn<bool>("held");
    QTest::newRow("logind refuses, portal") << true << true << true;
    QTest::newRow("no logind, portal") << false << true << true;
    QTest::newRow("neither") << false << false << false;
}

void BatchServicesTest::fallsBackToThePortalAndRunsWithoutEither()
{
    QFETCH(bool, logindRefuses);
    QFETCH(bool, portalThere);
    QFETCH(bool, held);
    m_logind->refuses = logindRefuses;
    if (!logindRefuses)
        QDBusConnection(u"logind"_s).unregisterService(u"org.freedesktop.login1"_s);
    if (!portalThere)
        QDBusConnection(u"desktop"_s).unregisterService(u"org.freedesktop.portal.Desktop"_s);

    {
        KeepAwake awake({ m_system->address().toStdString(), m_session->address().toStdString() });
        // And one with no bus at all to talk to.
        const KeepAwake unconnected({ "unix:path=/nonexistent", "unix:path=/nonexistent" });
        if (held)
            QTRY_VERIFY(awake.held());
        else
            QTest::qWait(200);
        QVERIFY(!unconnected.held());
    }
    QCOMPARE(m_logind->held(), 0);
    if (portalThere) {
        QCOMPARE(m_portal->flags, QList<uint> { 4 | 8 });
        QCOMPARE(m_portal->reasons, QStringList { u"Converting movies"_s });
        QTRY_VERIFY(m_portal->requests.at(0)->closed);
    }
}

void BatchServicesTest::notifiesWhenNoWindowIsActive_data()
{
    QTest::addColumn<QStringList>("names"); // a name starting "bad" is no movie
    QTest::addColumn<QString>("body");
    QTest::newRow("all converted") << QStringList { u"One.mov"_s, u"Two.mov"_s } << u"2 movies converted"_s;
    QTest::newRow("some failed") << QStringList { u"One.mov"_s, u"bad.mov"_s, u"Two.mov"_s }
                                 << u"2 converted, 1 failed"_s;
    QTest::newRow("one converted") << QStringList { u"Trip 1.mov"_s } << u"Trip 1.mov converted"_s;
    QTest::newRow("one failed") << QStringList { u"bad.mov"_s } << u"bad.mov could not be converted"_s;
}

void BatchServicesTest::notifiesWhenNoWindowIsActive()
{
    QFETCH(QStringList, names);
    QFETCH(QString, body);
    Scratch scratch;
    WindowSet windows(*m_engine, [] { return std::make_shared<FakePicker>(); });
    QQuickWindow* window = windows.openWindow();
    AppModel* model = windows.modelOf(window);
    for (const QString& name : names) {
        if (name.startsWith(u"bad"_s)) {
            QFile bad(scratch.path(name));
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write("not a movie");
        } else {
            movies::copyTo(movies::h264(), scratch.path(name));
        }
        model->add({ QUrl::fromLocalFile(scratch.path(name)) });
    }
    // The user works in another window meanwhile.
    QWindow elsewhere;
    activate(&elsewhere);
    QVERIFY(!window->isActive());

    model->start();
    QTRY_VERIFY_WITH_TIMEOUT(!model->running(), 60000);
    QTRY_COMPARE(m_notifications.shown.size(), 1);
    const FakeNotifications::Shown shown = m_notifications.shown.constFirst();
    QCOMPARE(shown.summary, u"Conversion finished"_s);
    QCOMPARE(shown.body, body);
    QCOMPARE(shown.icon, u"org.bramblecrest.Bramblecrest"_s);
    QVERIFY(shown.actions.contains(u"default"_s));
    QCOMPARE(shown.hints.value(u"desktop-entry"_s).toString(), u"org.bramblecrest.Bramblecrest"_s);

    // Clicking it brings the window back; another notification's click does not.
    QDBusMessage clicked = QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
        u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s);
    clicked.setArguments({ 40u, u"default"_s });
    QVERIFY(QDBusConnection(u"desktop"_s).send(clicked));
    QTest::qWait(100);
    QVERIFY(!window->isActive());
    clicked.setArguments({ 41u, u"default"_s });
    QVERIFY(QDBusConnection(u"desktop"_s).send(clicked));
    QTRY_VERIFY(window->isActive());
}

void BatchServicesTest::keepsTheCommandLineAwake()
{
    Scratch scratch;
    movies::copyTo(movies::slowEncode(), scratch.path(u"Long.mov"_s));
    QProcess conversion;
    conversion.setWorkingDirectory(scratch.folder());
    conversion.start(QStringLiteral(BRAMBLECREST_EXECUTABLE), { u"--convert"_s, u"Long.mov"_s, u"Long.mp4"_s });
    QVERIFY(conversion.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(m_logind->held(), 1, 10000);
    QCOMPARE(m_logind->calls, QList<QStringList> { inhibitArguments });
    QCOMPARE(conversion.state(), QProcess::Running);

    conversion.terminate();
    QVERIFY(conversion.waitForFinished(20000));
    QCOMPARE(conversion.exitCode(), 1);
    QCOMPARE(conversion.readAllStandardError(), QByteArray("Cancelled\n"));
    QCOMPARE(m_logind->held(), 0);
}

QTEST_MAIN(BatchServicesTest)
#include "tst_batchservices.moc"
