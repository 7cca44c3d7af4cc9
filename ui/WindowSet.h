// The application's windows: each with its own view, model and converter,
// and the desktop's view of all their batches together.
#pragma once

#include "ApplicationBatches.h"
#include "ApplicationWindows.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQmlComponent>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

class AppModel;
class FilePicker;
class QQmlEngine;
class QQuickWindow;

class WindowSet : public QObject, public ApplicationWindows
{
    Q_OBJECT

public:
    using PickerFactory = std::function<std::shared_ptr<FilePicker>()>;

    // Windows get file pickers from `pickers`: real dialogs in the
    // application, fakes in tests. Their batches are shown through
    // `services`, by default the desktop's own.
    WindowSet(QQmlEngine& engine, PickerFactory pickers, QObject* parent = nullptr);
    WindowSet(QQmlEngine& engine, PickerFactory pickers, DesktopServices services,
        QObject* parent = nullptr);
    // Closes every window; each model stops its conversion first.
    ~WindowSet() override;

    // Picks the renderer the application's windows draw with; the set calls
    // it before its first window, and anything that shows MainWindow.qml
    // without a set calls it itself.
    static void chooseRenderer();

    int count() const { return static_cast<int>(m_windows.size()); }
    QList<QQuickWindow*> windows() const;

    // The window the user worked in last (the focused one, else the one most
    // recently active), or null when there is none.
    QQuickWindow* frontmost() const;
    AppModel* modelOf(QQuickWindow* window) const;
    const ApplicationBatches& batches() const { return m_batches; }

    // Hands each URL to the frontmost window's model, one URL per add, and
    // raises that window. Opens a window when there is none.
    // `platformData` is what the launcher passed (org.freedesktop.Application).
    void open(const QList<QUrl>& urls, const QVariantMap& platformData = {}) override;
    // Raises the frontmost window, opening one when there is none.
    void activate(const QVariantMap& platformData = {}) override;
    // Raises and activates the frontmost window, ending the launcher's busy
    // feedback with the startup id or activation token in `platformData`.
    void raiseFrontmost(const QVariantMap& platformData = {});

public Q_SLOTS:
    // Opens a new window with an empty queue. Ctrl+N in any window does too.
    QQuickWindow* openWindow();
    // Closes every window the way Ctrl+W closes one. Ctrl+Q in any window
    // does this, then the application ends.
    void closeAll();

Q_SIGNALS:
    // Every window has been asked to close (Ctrl+Q): the application may end.
    void allClosed();

private:
    struct Entry
    {
        QPointer<QQuickWindow> window;
        const QObject* key; // the window's identity, still comparable while it is destroyed
        AppModel* model;
    };
    void bringToFront(QQuickWindow* window);
    void forget(QObject* window);
    bool anyWindowActive() const;

    QQmlEngine& m_engine;
    QQmlComponent m_component;
    PickerFactory m_pickers;
    QList<Entry> m_windows; // last activated last
    ApplicationBatches m_batches;
};
