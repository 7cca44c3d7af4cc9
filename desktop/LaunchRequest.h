// What one start of the program asks of the application: the files its
// arguments name, and the launcher's token for startup feedback and focus.
#pragma once

#include <QByteArrayList>
#include <QList>
#include <QUrl>
#include <QVariantMap>

struct LaunchRequest
{
    QList<QUrl> urls;
    // org.freedesktop.Application platform data: "desktop-startup-id" (X11)
    // and "activation-token" (Wayland), where the launcher gave them.
    QVariantMap platformData;

    // Every argument that is a file: URI, or the absolute or relative path
    // (taken from `workingFolder`) of an existing file or folder, as a URL, in order;
    // other arguments are left out. Arguments and folder are the bytes the
    // program was given: a file name need not be UTF-8.
    static QList<QUrl> urlsFromArguments(
        const QByteArrayList& arguments, const QByteArray& workingFolder);
    // The launcher's tokens from this process's environment. Read before the
    // platform plugin starts, which takes them for the first window.
    static QVariantMap platformDataFromEnvironment();
};
