// Moving and resizing a frameless window by handing the drag to the window
// manager, once per press.
#pragma once

#include <QObject>
#include <QWindow>
#include <QtQml/qqml.h>

class WindowManagerDrag : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit WindowManagerDrag(QObject* parent = nullptr);

    // Called while the left button is held on the window; the window
    // manager then follows the pointer until the button is released. A
    // second call for the same press does nothing and returns false.
    Q_INVOKABLE bool move(QWindow* window);
    Q_INVOKABLE bool resize(QWindow* window, Qt::Edges edges);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takePress(QWindow* window);

    quint64 m_presses = 0;
    quint64 m_pressHandedOver = ~quint64(0);
};
