// Renders the window in its main states to PNG files, for a person to look
// at: script/screenshot runs it under Xvfb. States are reached through the
// model's own operations, with fake tools that hold a conversion open.
#include "AppModel.h"
#include "FakeTools.h"
#include "Converter.h"
#include "FilePicker.h"
#include "WindowSet.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(BramblecrestPlugin)

using namespace Qt::StringLiterals;

namespace {

class FolderPicker : public FilePicker
{
public:
    QUrl folder;
    std::optional<QList<QUrl>> pickMovies() override { return std::nullopt; }
    std::optional<QList<QUrl>> pickFolder() override { return QList<QUrl> { folder }; }
};

void waitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

void settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QQuickStyle::setStyle(u"Basic"_s);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"screenshots"_s;
    QDir().mkpath(out);

    // ffprobe reports a copyable movie; ffmpeg fails for names with "broken",
    // and for the rest reports 40 % and waits for the gate file.
    FakeTools tools;
    QTemporaryDir movies;
    const QString gate = tools.path(u"gate"_s);
    tools.writeProbe(videoReport(u"h264"_s, u"yuv420p"_s, u""_s, u"10"_s));
    tools.writeFfmpeg(
        u"case \"$9\" in *broken*) printf 'Invalid data found when processing input\\n' >&2; exit 1;; esac\n"
        u"case \"$9\" in *Interview*) printf 'out_time_us=4000000\\n'; while [ ! -e '%1' ]; do sleep 0.05; done;; esac"_s.arg(gate));

    auto picker = std::make_shared<FolderPicker>();
    AppModel model(picker, std::make_shared<Converter>(tools.folders()));
    WindowSet::chooseRenderer(); // drawn the way users see it
    QQmlEngine engine;
    QQmlComponent component(&engine, QUrl(u"qrc:/Bramblecrest/MainWindow.qml"_s));
    std::unique_ptr<QQuickWindow> window(qobject_cast<QQuickWindow*>(
        component.createWithInitialProperties({ { u"model"_s, QVariant::fromValue(&model) } })));
    if (!window)
        qFatal("%s", qPrintable(component.errorString()));
    window->show();

    int shot = 0;
    const auto save = [&](const QString& name) {
        settle();
        const QString path = u"%1/%2-%3.png"_s.arg(out).arg(++shot, 2, 10, QLatin1Char('0')).arg(name);
        window->grabWindow().save(path);
        std::printf("%s\n", qPrintable(path));
    };
    // Empty files: the fake tools never read them, but they must exist.
    const auto movie = [&](const QString& name) {
        QFile(movies.filePath(name)).open(QIODevice::WriteOnly);
        return QUrl::fromLocalFile(movies.filePath(name));
    };

    save(u"empty"_s);

    model.add({ movie(u"Beach Day.mov"_s), movie(u"Interview – Take 2.mov"_s),
        movie(u"broken clip.mov"_s), movie(u"Drone Over The Valley At Sunset, Final Colour Grade.MOV"_s) });
    save(u"queued"_s);

    QMimeData files;
    files.setUrls({ movie(u"More.mov"_s) });
    QQuickItem* zone = window->contentItem()->childItems().first();
    const QPoint over(300, 330);
    QDragEnterEvent enter(over, Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(window.get(), &enter);
    QDragMoveEvent move(over, Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(window.get(), &move);
    save(u"drag-over"_s);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(window.get(), &leave);
    Q_UNUSED(zone);

    picker->folder = QUrl::fromLocalFile(movies.path() + u"/Exports for the Editor/Season 2/Episode 5 (Rough Cut)/Final"_s);
    QDir().mkpath(picker->folder.toLocalFile());
    model.chooseFolder();
    model.add({ movie(u"notes.txt"_s) });
    model.start();
    waitUntil([&] { return model.items()->at(1).status == u"Copying compatible video"_s; });
    save(u"converting"_s);
    model.pause();
    save(u"paused"_s);
    model.resume();

    QFile(gate).open(QIODevice::WriteOnly);
    waitUntil([&] { return !model.running(); });
    save(u"finished"_s);

    window->resize(window->minimumSize()); // the smallest a window manager allows
    save(u"smallest"_s);
    return 0;
}
