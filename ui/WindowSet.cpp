// Creating, ordering and closing the application's windows.
#include "WindowSet.h"

#include "AppModel.h"
#include "LaunchFeedback.h"

#include <QGuiApplication>
#include <algorithm>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>

using namespace Qt::StringLiterals;

WindowSet::WindowSet(QQmlEngine& engine, PickerFactory pickers, QObject* parent)
    : WindowSet(engine, std::move(pickers), DesktopServices::onTheDesktop(), parent)
{
}

WindowSet::WindowSet(
    QQmlEngine& engine, PickerFactory pickers, DesktopServices services, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
    , m_component(&engine, QUrl(u"qrc:/Bramblecrest/MainWindow.qml"_s))
    , m_pickers(std::move(pickers))
    , m_batches(std::move(services), [this] { return anyWindowActive(); })
{
    if (m_component.isError())
        qFatal("%s", qPrintable(m_component.errorString()));
    chooseRenderer();
    // Qt.quit() (Ctrl+Q) reaches the engine only; nothing else listens there.
    connect(&engine, &QQmlEngine::quit, this, &WindowSet::closeAll);
    // A click on the notification of the batches' end brings back the
    // window the user worked in last.
    connect(&m_batches, &ApplicationBatches::notificationClicked, this, [this] { raiseFrontmost(); });
}

void WindowSet::chooseRenderer()
{
    // The window is still most of the time, and while a batch runs only its
    // spinner and bars change a few times a second. Qt Quick's software
    // renderer repaints just those regions, where a GPU renderer draws the
    // whole window every frame; without a GPU (Mesa's software OpenGL) that
    // costs a core's worth of frames beside the conversions, and loading the
    // GL stack alone doubles start-up time and memory. A backend the user
    // asked for still wins.
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

WindowSet::~WindowSet()
{
    // Windows first, while their models still exist; the models, children of
    // the set, go after this body and stop their conversions as they go.
    const QList<Entry> entries = std::exchange(m_windows, {});
    for (const Entry& entry : entries)
        delete entry.window.data();
}

QQuickWindow* WindowSet::openWindow()
{
    // The set owns the models, so one whose window has gone is still stopped
    // and freed when the set goes at quit.
    auto* model = new AppModel(m_pickers ? m_pickers() : nullptr, {}, this);
    QObject* created = m_component.createWithInitialProperties(
        { { u"model"_s, QVariant::fromValue(model) } }, m_engine.rootContext());
    auto* window = qobject_cast<QQuickWindow*>(created);
    if (!window)
        qFatal("MainWindow.qml did not make a window: %s", qPrintable(m_component.errorString()));
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    m_windows.append({ window, window, model });
    m_batches.follow(model->batch());

    connect(window, &QQuickWindow::activeChanged, this, [this, window] {
        if (window->isActive())
            bringToFront(window);
    });
    connect(window, SIGNAL(newWindowRequested()), this, SLOT(openWindow()));
    // QQuickCloseEvent is private, so this one connects by name.
    connect(window, SIGNAL(closing(QQuickCloseEvent*)), window, SLOT(deleteLater()));
    connect(window, &QObject::destroyed, this, &WindowSet::forget);
    window->show();
    return window;
}

void WindowSet::closeAll()
{
    // Each window closes as Ctrl+W closes it, so its model stops its
    // conversion and removes its files; the last one to close ends the
    // application.
    const QList<Entry> entries = m_windows;
    for (const Entry& entry : entries) {
        if (entry.window)
            entry.window->close();
    }
    Q_EMIT allClosed();
}

QList<QQuickWindow*> WindowSet::windows() const
{
    QList<QQuickWindow*> result;
    for (const Entry& entry : m_windows)
        result.append(entry.window);
    return result;
}

QQuickWindow* WindowSet::frontmost() const
{
    for (const Entry& entry : m_windows) {
        if (entry.window && entry.window == QGuiApplication::focusWindow())
            return entry.window;
    }
    return m_windows.isEmpty() ? nullptr : m_windows.constLast().window.data();
}

AppModel* WindowSet::modelOf(QQuickWindow* window) const
{
    for (const Entry& entry : m_windows) {
        if (entry.window == window)
            return entry.model;
    }
    return nullptr;
}

void WindowSet::open(const QList<QUrl>& urls, const QVariantMap& platformData)
{
    QQuickWindow* window = frontmost();
    if (!window)
        window = openWindow();
    AppModel* model = modelOf(window);
    for (const QUrl& url : urls)
        model->add({ url });
    raiseFrontmost(platformData);
}

void WindowSet::activate(const QVariantMap& platformData)
{
    if (m_windows.isEmpty())
        openWindow();
    raiseFrontmost(platformData);
}

void WindowSet::raiseFrontmost(const QVariantMap& platformData)
{
    LaunchFeedback::activate(frontmost(), platformData, [this] { return m_batches.busy(); });
}

bool WindowSet::anyWindowActive() const
{
    return std::any_of(m_windows.cbegin(), m_windows.cend(),
        [](const Entry& entry) { return entry.window && entry.window->isActive(); });
}

void WindowSet::bringToFront(QQuickWindow* window)
{
    for (qsizetype i = 0; i < m_windows.size(); ++i) {
        if (m_windows.at(i).window == window) {
            m_windows.move(i, m_windows.size() - 1);
            return;
        }
    }
}

void WindowSet::forget(QObject* window)
{
    for (qsizetype i = 0; i < m_windows.size(); ++i) {
        if (m_windows.at(i).key == window) {
            // `destroyed` comes before the window's own items are gone, so the
            // model, which they still show, goes a moment later. Its
            // destructor stops its conversion and waits for it.
            m_windows.at(i).model->deleteLater();
            m_windows.removeAt(i);
            return;
        }
    }
}
