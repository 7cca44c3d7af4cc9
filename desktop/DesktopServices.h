// What the desktop shows of the application's batches outside its windows,
// each behind an interface a test can replace: the computer kept awake, the
// taskbar entry's progress, and a notification when the batches end unseen.
#pragma once

#include "BatchRun.h"

#include <QObject>
#include <memory>

class SleepInhibition
{
public:
    virtual ~SleepInhibition() = default;
    // Keeps the computer from sleeping until release(); never blocks.
    virtual void hold() = 0;
    virtual void release() = 0;
};

class TaskbarProgress
{
public:
    virtual ~TaskbarProgress() = default;
    // `fraction` of the work done, `left` movies still to finish; may be
    // called many times a second.
    virtual void show(double fraction, int left) = 0;
    virtual void hide() = 0;
};

class CompletionNotifier : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // Tells the user how the batches went; nothing for a cancelled outcome.
    virtual void notify(const BatchRun::Outcome& outcome) = 0;

Q_SIGNALS:
    // The user clicked the notification: the application should come forward.
    void clicked();
};

struct DesktopServices
{
    std::unique_ptr<SleepInhibition> sleep;
    std::unique_ptr<TaskbarProgress> taskbar;
    std::unique_ptr<CompletionNotifier> notifier;

    // The real ones: logind's or the portal's inhibitor, the launcher entry
    // and the notification server, on the buses of the environment.
    static DesktopServices onTheDesktop();
};
