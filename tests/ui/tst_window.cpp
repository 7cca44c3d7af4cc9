// The window on the offscreen platform, driven with real mouse, key and drop
// events: its sections per state, texts, controls, rows and the whole road
// from picking a movie to revealing the MP4.
#include "AppModel.h"
#include "Converter.h"
#include "DialogFilePicker.h"
#include "FakePicker.h"
#include "FakeTools.h"
#include "Movies.h"
#include "Processes.h"
#include "Scratch.h"
#include "WindowSet.h"

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <unistd.h>
#include <QMimeData>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(BramblecrestPlugin)

using namespace Qt::StringLiterals;

namespace {

const QString refusedNotice = u"Please choose QuickTime .mov files."_s;

QUrl file(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

// An empty file at `path`: an input that exists, for fake tools that never read it.
QString touched(const QString& path)
{
    QFile(path).open(QIODevice::WriteOnly);
    return path;
}

// Items by objectName through the visual tree, where delegates live too.
void collectItems(QQuickItem* root, const QString& name, QList<QQuickItem*>& found)
{
    for (QQuickItem* child : root->childItems()) {
        if (child->objectName() == name)
            found.append(child);
        collectItems(child, name, found);
    }
}

QList<QQuickItem*> itemsNamed(QQuickItem* root, const QString& name)
{
    QList<QQuickItem*> found;
    collectItems(root, name, found);
    return found;
}

// Stands in for the file manager.
class FakeRevealer : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> revealed;
    Q_INVOKABLE void reveal(const QUrl& url) { revealed.append(url); }
};

// One window with a model the test controls.
struct TestWindow
{
    std::shared_ptr<FakePicker> picker = std::make_shared<FakePicker>();
    std::unique_ptr<AppModel> model;
    FakeRevealer revealer;
    std::unique_ptr<QQuickWindow> window;

    TestWindow(QQmlEngine& engine, std::shared_ptr<Converter> converter = {})
        : model(std::make_unique<AppModel>(picker, std::move(converter)))
    {
        QQmlComponent component(&engine, QUrl(u"qrc:/Bramblecrest/MainWindow.qml"_s));
        QObject* created = component.createWithInitialProperties(
            { { u"model"_s, QVariant::fromValue(model.get()) },
                { u"revealer"_s, QVariant::fromValue(static_cast<QObject*>(&revealer)) } });
        window.reset(qobject_cast<QQuickWindow*>(created));
        if (!window)
            qFatal("%s", qPrintable(component.errorString()));
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("the window was not exposed");
    }
    ~TestWindow()
    {
        window.reset(); // the view goes before the model it shows
    }

    QQuickItem* item(const QString& name) const
    {
        const QList<QQuickItem*> found = itemsNamed(window->contentItem(), name);
        if (found.isEmpty())
            qFatal("no item named %s", qPrintable(name));
        return found.constFirst();
    }
    QVariant property(const QString& name, const char* property) const
    {
        return item(name)->property(property);
    }
    bool shown(const QString& name) const
    {
        QQuickItem* found = item(name);
        return found && found->isVisible();
    }
    bool enabled(const QString& name) const { return item(name)->isEnabled(); }
    QPoint centre(QQuickItem* target) const
    {
        return target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    }
    void click(QQuickItem* target) const
    {
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, centre(target));
    }
    void click(const QString& name) const { click(item(name)); }

    // The visible sections, top to bottom.
    QList<QQuickItem*> sections() const
    {
        QList<QQuickItem*> visible;
        for (QQuickItem* child : item(u"sections"_s)->childItems()) {
            if (child->isVisible())
                visible.append(child);
        }
        std::sort(visible.begin(), visible.end(),
            [](QQuickItem* a, QQuickItem* b) { return a->y() < b->y(); });
        return visible;
    }
    QStringList sectionNames() const
    {
        QStringList names;
        for (QQuickItem* section : sections())
            names.append(section->objectName());
        return names;
    }
    // The rows of the queue list, top to bottom.
    QList<QQuickItem*> rows() const
    {
        QList<QQuickItem*> found;
        for (QQuickItem* row : itemsNamed(item(u"queueList"_s), u"queueRow"_s)) {
            if (row->isVisible())
                found.append(row);
        }
        std::sort(found.begin(), found.end(), [](QQuickItem* a, QQuickItem* b) { return a->y() < b->y(); });
        return found;
    }
    static QQuickItem* part(QQuickItem* row, const QString& name)
    {
        const QList<QQuickItem*> found = itemsNamed(row, name);
        return found.isEmpty() ? nullptr : found.constFirst();
    }
};

// QML keeps colours at 16 bits a channel; compare at 8.
bool sameColour(const QColor& actual, const QColor& expected)
{
    return actual.rgba() == expected.rgba();
}

QString accessibleName(QQuickItem* item)
{
    QAccessibleInterface* interface = QAccessible::queryAccessibleInterface(item);
    return interface ? interface->text(QAccessible::Name) : QString();
}

// Every button of the window, shown or not, in the visual tree.
void collectButtons(QQuickItem* root, QList<QQuickItem*>& found)
{
    for (QQuickItem* child : root->childItems()) {
        if (child->inherits("QQuickAbstractButton"))
            found.append(child);
        collectButtons(child, found);
    }
}

QAccessible::Role accessibleRole(QQuickItem* item)
{
    QAccessibleInterface* interface = QAccessible::queryAccessibleInterface(item);
    return interface ? interface->role() : QAccessible::NoRole;
}

// Sends a drag of `mime` into the window at `at` and returns whether the
// target accepted it; `drop` then drops it.
struct Drag
{
    QQuickWindow* window;
    QMimeData mime;
    QPoint at;

    bool enter()
    {
        QDragEnterEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(window, &event);
        QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(window, &move);
        return move.isAccepted();
    }
    void leave()
    {
        QDragLeaveEvent event;
        QCoreApplication::sendEvent(window, &event);
    }
    bool drop()
    {
        QDropEvent event(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(window, &event);
        return event.isAccepted();
    }
};

// A converter whose ffmpeg waits until the test lets it go, so a batch can be
// looked at while it runs.
struct HeldConversions
{
    FakeTools tools;
    QString gate = tools.path(u"gate"_s);

    HeldConversions()
    {
        tools.writeProbe(videoReport(u"h264"_s, u"yuv420p"_s, u""_s, u"10"_s));
        tools.writeFfmpeg(u"printf 'out_time_us=2500000\\n'\nwhile [ ! -e '%1' ]; do sleep 0.05; done"_s.arg(gate));
    }
    std::shared_ptr<Converter> converter() const
    {
        return std::make_shared<Converter>(tools.folders());
    }
    void release() const
    {
        QFile open(gate);
        open.open(QIODevice::WriteOnly);
    }
    // Movies named `name` must be encoded, so their turn waits until the
    // copies before them have ended.
    void encode(const QString& name) const
    {
        tools.write(u"ffprobe"_s,
            u"case \"$9\" in *%1) printf '%2';; *) printf '%3';; esac"_s.arg(name,
                videoReport(u"prores"_s, u"yuv422p10le"_s, u""_s, u"10"_s),
                videoReport(u"h264"_s, u"yuv420p"_s, u""_s, u"10"_s)));
    }
};

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void opensFramelessAtItsSize();
    void showsSectionsInOrder();
    void showsExactTexts();
    void showsControlsPerState();
    void showsFiveRowKinds();
    void acceptsFileDrops();
    void ignoresDragsWithoutFiles();
    void refusesDropsDuringBatch();
    void browsesFromAnywhereInZone();
    void removesOnlyClickedRow();
    void clearsAndResets();
    void cancelsFromWindow();
    void reachesControlsByKeyboard();
    void namesControlsForScreenReaders();
    void keepsTheRunningRowInView();
    void movesFocusWithConvertAndCancel();
    void reachesEveryRowByKeyboard();
    void convertsFromWindowButtons();
    void opensAndClosesWindowsFromKeyboard();
    void closingWindowStopsConversion_data();
    void closingWindowStopsConversion();
    void setsUpFileDialogs();

private:
    QQmlEngine* m_engine = nullptr;
};

void WindowTest::initTestCase()
{
    QQuickStyle::setStyle(u"Basic"_s);
    m_engine = new QQmlEngine(this);
}

void WindowTest::opensFramelessAtItsSize()
{
    const TestWindow test(*m_engine);
    QCOMPARE(test.window->size(), QSize(600, 680));
    QCOMPARE(test.window->minimumSize(), QSize(560, 570));
    QVERIFY(test.window->flags() & Qt::FramelessWindowHint);
    QCOMPARE(test.window->color(), QColor::fromRgbF(0.065f, 0.075f, 0.085f));
    // The content starts at the top edge: nothing is drawn for a title bar.
    QCOMPARE(test.item(u"contentView"_s)->mapToScene({ 0, 0 }), QPointF(0, 0));
    // A one-pixel edge, lighter than the background, all round the window.
    QQuickItem* edge = test.item(u"windowEdge"_s);
    QVERIFY(edge->isVisible());
    QCOMPARE(edge->size(), QSizeF(600, 680));
    QCOMPARE(edge->property("border").value<QObject*>()->property("width").toInt(), 1);
    const QImage frame = test.window->grabWindow();
    QVERIFY(qGray(frame.pixel(0, 300)) > qGray(frame.pixel(3, 300)));
    QVERIFY(qGray(frame.pixel(599, 300)) > qGray(frame.pixel(596, 300)));
}

void WindowTest::showsSectionsInOrder()
{
    const TestWindow test(*m_engine);
    const QStringList always { u"header"_s, u"tagline"_s, u"dropZone"_s, u"destinationBar"_s,
        u"badgeRow"_s, u"actionBar"_s };
    QCOMPARE(test.sectionNames(), always);

    test.model->add({ file(u"/m/Trip.mov"_s) });
    QTRY_COMPARE(test.sectionNames(),
        QStringList({ u"header"_s, u"tagline"_s, u"dropZone"_s, u"queueList"_s,
            u"destinationBar"_s, u"badgeRow"_s, u"actionBar"_s }));
    QVERIFY(test.item(u"queueList"_s)->height() >= 65);

    test.model->add({ file(u"/m/clip.mp4"_s) });
    QTRY_COMPARE(test.sectionNames(),
        QStringList({ u"header"_s, u"tagline"_s, u"dropZone"_s, u"queueList"_s,
            u"destinationBar"_s, u"badgeRow"_s, u"noticeLine"_s, u"actionBar"_s }));
    QVERIFY(sameColour(test.property(u"noticeLine"_s, "color").value<QColor>(), QColor::fromRgbF(1, 0.624f, 0.039f)));

    // 22 between consecutive sections, and 30 from the window's edges at least.
    const QList<QQuickItem*> sections = test.sections();
    for (qsizetype i = 1; i < sections.size(); ++i) {
        const qreal gap = sections[i]->y() - (sections[i - 1]->y() + sections[i - 1]->height());
        QVERIFY2(qFuzzyCompare(gap, 22.0), qPrintable(sections[i]->objectName()));
    }
    QCOMPARE(sections.first()->mapToScene({ 0, 0 }).x(), 30.0);
    QCOMPARE(sections.first()->width(), 540.0);

    // Many rows scroll inside the list: 230 at most in a tall window, and
    // shorter in a short one, so the action bar always stays in view.
    QList<QUrl> many;
    for (int i = 0; i < 40; ++i)
        many.append(file(u"/m/clip-%1.mov"_s.arg(i)));
    test.model->add(many);
    test.window->resize(600, 1000);
    QTRY_COMPARE(test.item(u"queueList"_s)->height(), 230.0);
    test.window->resize(600, 680);
    QTRY_VERIFY(test.item(u"queueList"_s)->height() < 230);
    QVERIFY(test.item(u"queueList"_s)->height() >= 65);
    QQuickItem* actions = test.item(u"actionBar"_s);
    QVERIFY(actions->mapToScene({ 0, actions->height() }).y() <= 680 - 30);
    QVERIFY(test.window->minimumHeight() > 570); // grown so every section fits

    test.model->clear();
    QTRY_VERIFY(!test.sectionNames().contains(u"queueList"_s));
}

void WindowTest::showsExactTexts()
{
    const TestWindow test(*m_engine);
    QCOMPARE(test.property(u"title"_s, "text").toString(), u"Bramblecrest"_s);
    QCOMPARE(test.property(u"formatTag"_s, "text").toString(), u"MOV \u2192 MP4"_s);
    QCOMPARE(test.property(u"headline"_s, "text").toString(), u"From QuickTime\nto your timeline."_s);
    QCOMPARE(test.property(u"headline"_s, "lineCount").toInt(), 2);
    QCOMPARE(test.property(u"subtitle"_s, "text").toString(), u"Simple MP4 conversion for Premiere Pro."_s);
    QCOMPARE(test.property(u"convertButton"_s, "text").toString(), u"Convert to MP4  \u2192"_s);
    QCOMPARE(test.property(u"changeButton"_s, "text").toString(), u"Change\u2026"_s);
    QCOMPARE(test.property(u"destinationText"_s, "text").toString(), u"Same folder as each original"_s);
    QCOMPARE(test.property(u"formatBadge"_s, "text").toString(), u"H.264 + AAC"_s);
    QCOMPARE(test.property(u"privacyBadge"_s, "text").toString(), u"Files stay on your computer"_s);

    const QStringList zoneTexts = [&] {
        QStringList texts;
        for (QQuickItem* child : itemsNamed(test.item(u"dropZone"_s), QString())) {
            const QString text = child->property("text").toString();
            if (!text.isEmpty())
                texts.append(text);
        }
        return texts;
    }();
    QVERIFY(zoneTexts.contains(u"Drop your MOV files here"_s));
    QVERIFY(zoneTexts.contains(u"or click to browse \u00b7 multiple files welcome"_s));

    // A long destination stays on one line, shortened in the middle.
    const QString deep = u"/Volumes/Footage/"_s + QString(u"very-long-folder-name/"_s).repeated(12) + u"Exports"_s;
    test.picker->folder = QList<QUrl> { file(deep) };
    test.click(u"changeButton"_s);
    QCOMPARE(test.property(u"destinationText"_s, "text").toString(), deep);
    QCOMPARE(test.property(u"destinationText"_s, "lineCount").toInt(), 1);
    QVERIFY(test.property(u"destinationText"_s, "truncated").toBool());
}

void WindowTest::showsControlsPerState()
{
    const HeldConversions held;
    const TestWindow test(*m_engine, held.converter());

    // Empty queue, no batch.
    QVERIFY(!test.shown(u"clearButton"_s));
    QVERIFY(test.shown(u"convertButton"_s));
    QVERIFY(!test.enabled(u"convertButton"_s));
    QVERIFY(test.enabled(u"changeButton"_s));
    QVERIFY(!test.shown(u"resetButton"_s));
    QVERIFY(!test.shown(u"cancelButton"_s));
    QVERIFY(!test.shown(u"spinner"_s));

    const Scratch scratch;
    test.picker->folder = QList<QUrl> { file(scratch.folder()) };
    test.click(u"changeButton"_s);
    QVERIFY(test.shown(u"resetButton"_s));
    QCOMPARE(test.property(u"destinationText"_s, "text").toString(), scratch.folder());

    test.model->add({ file(touched(scratch.path(u"a.mov"_s))) });
    QVERIFY(test.shown(u"clearButton"_s));
    QVERIFY(test.enabled(u"convertButton"_s));

    // During a batch.
    test.click(u"convertButton"_s);
    QVERIFY(test.model->running());
    QVERIFY(!test.shown(u"clearButton"_s));
    QVERIFY(!test.shown(u"convertButton"_s));
    QVERIFY(test.shown(u"cancelButton"_s));
    QVERIFY(test.shown(u"spinner"_s));
    QVERIFY(test.shown(u"changeButton"_s) && !test.enabled(u"changeButton"_s));
    QVERIFY(test.shown(u"resetButton"_s) && !test.enabled(u"resetButton"_s));
    QVERIFY(!test.enabled(u"dropZoneButton"_s));

    held.release();
    QTRY_VERIFY_WITH_TIMEOUT(!test.model->running(), 20000);
    // Every item done: the list can be cleared but there is nothing to convert.
    QVERIFY(test.shown(u"clearButton"_s));
    QVERIFY(test.shown(u"convertButton"_s));
    QVERIFY(!test.enabled(u"convertButton"_s));
    QVERIFY(test.enabled(u"changeButton"_s));
    QVERIFY(test.enabled(u"dropZoneButton"_s));
}

void WindowTest::showsFiveRowKinds()
{
    const Scratch scratch;
    HeldConversions held;
    // done.mov converts at once, broken.mov fails, held.mov waits at the gate,
    // and waiting.mov, an encode, waits for it.
    held.encode(u"waiting.mov"_s);
    held.tools.writeFfmpeg(u"case \"$9\" in *broken.mov) printf 'bad input\\n' >&2; exit 1;; "
                           u"*held.mov) printf 'out_time_us=2500000\\n'; while [ ! -e '%1' ]; do sleep 0.05; done;; esac\n"
                           u"printf 'movie' > \"$last\""_s.arg(held.gate));
    const TestWindow test(*m_engine, held.converter());
    test.model->add({ file(touched(scratch.path(u"done.mov"_s))), file(touched(scratch.path(u"broken.mov"_s))),
        file(touched(scratch.path(u"held.mov"_s))), file(touched(scratch.path(u"waiting.mov"_s))) });

    // Before any batch: film icon in the accent colour, "Ready", a remove button.
    QTRY_COMPARE(test.rows().size(), 4);
    for (QQuickItem* row : test.rows()) {
        QCOMPARE(TestWindow::part(row, u"rowIcon"_s)->property("name").toString(), u"film"_s);
        QCOMPARE(TestWindow::part(row, u"rowStatus"_s)->property("text").toString(), u"Ready"_s);
        QVERIFY(!TestWindow::part(row, u"rowProgress"_s)->isVisible());
        QVERIFY(TestWindow::part(row, u"removeButton"_s)->isVisible());
        QVERIFY(!TestWindow::part(row, u"showButton"_s)->isVisible());
    }

    test.model->start();
    QTRY_COMPARE_WITH_TIMEOUT(test.model->items()->at(2).status, u"Copying compatible video"_s, 20000);
    QTRY_COMPARE(TestWindow::part(test.rows().at(2), u"rowProgress"_s)->property("value").toDouble(), 0.25);
    const QList<QQuickItem*> rows = test.rows();
    struct Expected
    {
        QString icon;
        QColor colour;
        bool progress, show, remove;
    };
    const QColor accent = QColor::fromRgbF(0.72f, 0.94f, 0.35f);
    const QColor orange = QColor::fromRgbF(1, 0.624f, 0.039f);
    const QList<Expected> expected {
        { u"checkmark.circle.fill"_s, accent, false, true, false }, // done
        { u"exclamationmark.circle"_s, orange, false, false, false }, // failed, during a batch
        { u"film"_s, accent, true, false, false }, // in its turn
        { u"film"_s, accent, false, false, false }, // waiting in the batch
    };
    for (int i = 0; i < 4; ++i) {
        QQuickItem* row = rows.at(i);
        QCOMPARE(TestWindow::part(row, u"rowIcon"_s)->property("name").toString(), expected[i].icon);
        QVERIFY(sameColour(TestWindow::part(row, u"rowIcon"_s)->property("color").value<QColor>(), expected[i].colour));
        QCOMPARE(TestWindow::part(row, u"rowProgress"_s)->isVisible(), expected[i].progress);
        QCOMPARE(TestWindow::part(row, u"showButton"_s)->isVisible(), expected[i].show);
        QCOMPARE(TestWindow::part(row, u"removeButton"_s)->isVisible(), expected[i].remove);
    }
    QCOMPARE(TestWindow::part(rows.at(1), u"rowStatus"_s)->property("text").toString(),
        u"Conversion failed: bad input\n"_s);
    QCOMPARE(TestWindow::part(rows.at(3), u"rowStatus"_s)->property("text").toString(), u"Ready"_s);

    held.release();
    QTRY_VERIFY_WITH_TIMEOUT(!test.model->running(), 20000);
    // After the batch the failed row has its remove button back; done rows never do.
    QTRY_VERIFY(TestWindow::part(test.rows().at(1), u"removeButton"_s)->isVisible());
    QVERIFY(!TestWindow::part(test.rows().at(0), u"removeButton"_s)->isVisible());
    QVERIFY(TestWindow::part(test.rows().at(0), u"showButton"_s)->isVisible());
    QCOMPARE(TestWindow::part(test.rows().at(0), u"rowStatus"_s)->property("text").toString(), u"Done"_s);
}

void WindowTest::acceptsFileDrops()
{
    const TestWindow test(*m_engine);
    QQuickItem* zone = test.item(u"dropZone"_s);
    QQuickItem* fill = test.item(u"dropZoneFill"_s);
    QQuickItem* border = test.item(u"dropZoneBorder"_s);
    const QColor idleFill = fill->property("color").value<QColor>();
    QVERIFY(sameColour(idleFill, QColor::fromRgbF(1, 1, 1, 0.035f)));
    QVERIFY(sameColour(border->property("color").value<QColor>(), QColor::fromRgbF(0.72f, 0.94f, 0.35f, 0.28f)));
    QSignalSpy inserted(test.model->items(), &QAbstractItemModel::rowsInserted);

    Drag drag { test.window.get(), {}, test.centre(zone) };
    drag.mime.setUrls({ file(u"/m/a.mov"_s), file(u"/m/b.MOV"_s), file(u"/m/c.mp4"_s) });
    QVERIFY(drag.enter());
    QVERIFY(zone->property("hovering").toBool());
    QVERIFY(sameColour(fill->property("color").value<QColor>(), QColor::fromRgbF(0.72f, 0.94f, 0.35f, 0.12f)));
    QVERIFY(sameColour(border->property("color").value<QColor>(), QColor::fromRgbF(0.72f, 0.94f, 0.35f, 0.8f)));

    QVERIFY(drag.drop());
    QVERIFY(!zone->property("hovering").toBool());
    QVERIFY(sameColour(fill->property("color").value<QColor>(), idleFill));
    // One add per dropped file: the model saw three calls, queued two, noticed one.
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(test.model->items()->count(), 2);
    QCOMPARE(test.model->notice(), refusedNotice);

    // Leaving without dropping restores the idle look.
    Drag again { test.window.get(), {}, test.centre(zone) };
    again.mime.setUrls({ file(u"/m/d.mov"_s) });
    QVERIFY(again.enter());
    again.leave();
    QVERIFY(!zone->property("hovering").toBool());
    QCOMPARE(test.model->items()->count(), 2);
}

void WindowTest::ignoresDragsWithoutFiles()
{
    const TestWindow test(*m_engine);
    QQuickItem* zone = test.item(u"dropZone"_s);

    Drag text { test.window.get(), {}, test.centre(zone) };
    text.mime.setText(u"/m/a.mov"_s);
    QVERIFY(!text.enter());
    QVERIFY(!zone->property("hovering").toBool());
    text.drop();

    Drag web { test.window.get(), {}, test.centre(zone) };
    web.mime.setUrls({ QUrl(u"https://example.org/a.mov"_s) });
    QVERIFY(!web.enter());
    QVERIFY(!zone->property("hovering").toBool());
    QCOMPARE(test.model->items()->count(), 0);
    QVERIFY(test.model->notice().isNull());
}

void WindowTest::refusesDropsDuringBatch()
{
    const Scratch scratch;
    const HeldConversions held;
    const TestWindow test(*m_engine, held.converter());
    test.model->add({ file(scratch.path(u"a.mov"_s)) });
    test.model->start();
    QVERIFY(test.model->running());
    QQuickItem* zone = test.item(u"dropZone"_s);

    Drag drag { test.window.get(), {}, test.centre(zone) };
    drag.mime.setUrls({ file(scratch.path(u"b.mov"_s)) });
    QVERIFY(drag.enter());
    QVERIFY(zone->property("hovering").toBool()); // the highlight still follows the drag
    QVERIFY(!drag.drop());
    QCOMPARE(test.model->items()->count(), 1);

    // A click does nothing during the batch.
    test.click(zone);
    QCOMPARE(test.picker->moviePanels, 0);
    held.release();
    QTRY_VERIFY_WITH_TIMEOUT(!test.model->running(), 20000);
    test.click(zone);
    QCOMPARE(test.picker->moviePanels, 1);
}

void WindowTest::browsesFromAnywhereInZone()
{
    const TestWindow test(*m_engine);
    QQuickItem* zone = test.item(u"dropZone"_s);
    test.picker->movies = QList<QUrl> { file(u"/m/a.mov"_s) };
    // The padding above the icon, and a corner outside the rounded border.
    const QList<QPointF> points { { zone->width() / 2, 4 }, { 1, 1 }, { zone->width() - 1, zone->height() - 1 } };
    for (const QPointF& point : points)
        QTest::mouseClick(test.window.get(), Qt::LeftButton, {}, zone->mapToScene(point).toPoint());
    QCOMPARE(test.picker->moviePanels, 3);
    QCOMPARE(test.model->items()->count(), 1);

    // A click just outside the zone is not the zone's.
    QTest::mouseClick(test.window.get(), Qt::LeftButton, {}, zone->mapToScene({ zone->width() / 2, -6 }).toPoint());
    QCOMPARE(test.picker->moviePanels, 3);
}

void WindowTest::removesOnlyClickedRow()
{
    const TestWindow test(*m_engine);
    test.model->add({ file(u"/a/Trip.mov"_s), file(u"/b/Trip.mov"_s), file(u"/c/Other.mov"_s) });
    QTRY_COMPARE(test.rows().size(), 3);
    const QUuid kept = test.model->items()->at(0).id;

    test.click(TestWindow::part(test.rows().at(1), u"removeButton"_s));

    QCOMPARE(test.model->items()->count(), 2);
    QCOMPARE(test.model->items()->at(0).id, kept);
    QCOMPARE(test.model->items()->at(1).url, file(u"/c/Other.mov"_s));
    QTRY_COMPARE(test.rows().size(), 2);
}

void WindowTest::clearsAndResets()
{
    const TestWindow test(*m_engine);
    test.picker->folder = QList<QUrl> { file(u"/exports"_s) };
    test.click(u"changeButton"_s);
    test.model->add({ file(u"/m/a.mov"_s), file(u"/m/x.txt"_s) });

    test.click(u"clearButton"_s);
    QCOMPARE(test.model->items()->count(), 0);
    QCOMPARE(test.model->destination(), file(u"/exports"_s));
    QCOMPARE(test.model->notice(), refusedNotice);
    QTRY_VERIFY(!test.shown(u"clearButton"_s));

    test.click(u"resetButton"_s);
    QVERIFY(test.model->destination().isEmpty());
    QCOMPARE(test.model->notice(), refusedNotice);
    QTRY_VERIFY(!test.shown(u"resetButton"_s));
    QCOMPARE(test.property(u"destinationText"_s, "text").toString(), u"Same folder as each original"_s);
}

void WindowTest::cancelsFromWindow()
{
    // Copies run side by side, one per processor (at most 4); the encode
    // waits for them, so it is still waiting when Cancel is pressed.
    const Scratch scratch;
    const HeldConversions held;
    held.encode(u"c.mov"_s);
    const TestWindow test(*m_engine, held.converter());
    test.model->add({ file(touched(scratch.path(u"a.mov"_s))), file(touched(scratch.path(u"b.mov"_s))),
        file(touched(scratch.path(u"c.mov"_s))) });
    test.click(u"convertButton"_s);
    const int side = std::min(BatchRun::copyLanes(), 2);
    const auto barsShown = [&] {
        int shown = 0;
        for (QQuickItem* row : test.rows())
            shown += TestWindow::part(row, u"rowProgress"_s)->isVisible();
        return shown;
    };
    QTRY_COMPARE_WITH_TIMEOUT(barsShown(), side, 20000);
    for (int row = 0; row < side; ++row)
        QTRY_COMPARE(test.model->items()->at(row).status, u"Copying compatible video"_s);
    QTRY_COMPARE(childProcesses(::getpid(), "ffmpeg").size(), side);

    test.click(u"cancelButton"_s);
    QVERIFY(test.model->converter().isCancelled());
    QTRY_VERIFY_WITH_TIMEOUT(!test.model->running(), 20000);

    for (int row = 0; row < 3; ++row)
        QCOMPARE(test.model->items()->at(row).status, row < side ? u"Cancelled"_s : u"Ready"_s);
    QCOMPARE(barsShown(), 0);
    QTRY_COMPARE(childProcesses(::getpid(), "ffmpeg").size(), 0);
    QTRY_VERIFY(test.shown(u"convertButton"_s));
    QVERIFY(test.enabled(u"convertButton"_s));
    // No output, hidden or not.
    QCOMPARE(scratch.files(), QStringList({ u"a.mov"_s, u"b.mov"_s, u"c.mov"_s }));
}

void WindowTest::reachesControlsByKeyboard()
{
    const TestWindow test(*m_engine);
    test.window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(test.window.get()));
    test.picker->movies = QList<QUrl> { file(u"/m/a.mov"_s) };

    // Tab through the window until the drop zone has focus, then press Space.
    QQuickItem* zone = test.item(u"dropZoneButton"_s);
    for (int i = 0; i < 12 && !zone->hasActiveFocus(); ++i)
        QTest::keyClick(test.window.get(), Qt::Key_Tab);
    QVERIFY(zone->hasActiveFocus());
    QTest::keyClick(test.window.get(), Qt::Key_Space);
    QCOMPARE(test.picker->moviePanels, 1);
    QTest::keyClick(test.window.get(), Qt::Key_Return);
    QCOMPARE(test.picker->moviePanels, 2);

    // The row's remove button and the convert button are in the tab chain too.
    QTRY_COMPARE(test.rows().size(), 1);
    QQuickItem* remove = TestWindow::part(test.rows().at(0), u"removeButton"_s);
    QQuickItem* convert = test.item(u"convertButton"_s);
    bool sawRemove = false, sawConvert = false;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(test.window.get(), Qt::Key_Tab);
        sawRemove |= remove->hasActiveFocus();
        sawConvert |= convert->hasActiveFocus();
    }
    QVERIFY(sawRemove);
    QVERIFY(sawConvert);
}

void WindowTest::movesFocusWithConvertAndCancel()
{
    const Scratch scratch;
    const HeldConversions held;
    const TestWindow test(*m_engine, held.converter());
    test.model->add({ file(touched(scratch.path(u"a.mov"_s))), file(touched(scratch.path(u"b.mov"_s))) });
    test.window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(test.window.get()));
    QQuickItem* convert = test.item(u"convertButton"_s);
    QQuickItem* cancel = test.item(u"cancelButton"_s);
    convert->forceActiveFocus(Qt::TabFocusReason);

    QTest::keyClick(test.window.get(), Qt::Key_Space);
    QVERIFY(test.model->running());
    QVERIFY(cancel->hasActiveFocus()); // the keyboard stays on the action

    QTRY_COMPARE_WITH_TIMEOUT(test.model->items()->at(0).status, u"Copying compatible video"_s, 20000);
    QTest::keyClick(test.window.get(), Qt::Key_Escape); // Escape cancels too
    QVERIFY(test.model->converter().isCancelled());
    QTRY_VERIFY_WITH_TIMEOUT(!test.model->running(), 20000);
    QTRY_VERIFY(convert->hasActiveFocus());
    QCOMPARE(test.model->items()->at(0).status, u"Cancelled"_s);
}

void WindowTest::reachesEveryRowByKeyboard()
{
    const TestWindow test(*m_engine);
    QList<QUrl> many;
    for (int i = 0; i < 30; ++i)
        many.append(file(u"/m/clip-%1.mov"_s.arg(i, 2, 10, QLatin1Char('0'))));
    test.model->add(many);
    test.window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(test.window.get()));
    QTRY_VERIFY(!test.rows().isEmpty());

    // Tab through the window: every row's remove button takes focus in turn,
    // scrolled into view, though rows are only made as they scroll in.
    QSet<QString> reached;
    for (int i = 0; i < 120 && reached.size() < 30; ++i) {
        QTest::keyClick(test.window.get(), Qt::Key_Tab);
        QQuickItem* focused = test.window->activeFocusItem();
        if (focused && focused->objectName() == u"removeButton"_s) {
            QQuickItem* row = focused->parentItem()->parentItem();
            reached.insert(row->property("fileName").toString());
            QQuickItem* list = test.item(u"queueList"_s);
            const QPointF top = focused->mapToItem(list, { 0, 0 });
            QVERIFY(top.y() >= 0 && top.y() + focused->height() <= list->height());
        }
    }
    QCOMPARE(reached.size(), 30);
}

void WindowTest::namesControlsForScreenReaders()
{
    const TestWindow test(*m_engine);
    test.model->add({ file(u"/m/a.mov"_s) });
    QTRY_COMPARE(test.rows().size(), 1);

    QCOMPARE(accessibleName(TestWindow::part(test.rows().at(0), u"removeButton"_s)), u"Remove"_s);
    QCOMPARE(accessibleRole(test.item(u"dropZoneButton"_s)), QAccessible::Button);
    QCOMPARE(accessibleName(test.item(u"dropZoneButton"_s)), u"Add movies"_s);
    for (const QString& name : { u"changeButton"_s, u"convertButton"_s, u"clearButton"_s,
             u"closeButton"_s, u"minimizeButton"_s, u"maximizeButton"_s }) {
        QVERIFY2(!accessibleName(test.item(name)).isEmpty(), qPrintable(name));
    }

    // What a screen reader reads besides the controls: the headings, each
    // row's file name and state, the destination, and the notice as an alert.
    // (That the alert is announced as it appears needs a live accessibility
    // bus: script/desktop-check listens for it through AT-SPI.)
    QCOMPARE(accessibleRole(test.item(u"title"_s)), QAccessible::Heading);
    QCOMPARE(accessibleName(test.item(u"title"_s)), u"Bramblecrest"_s);
    QCOMPARE(accessibleName(test.item(u"headline"_s)), u"From QuickTime to your timeline."_s);
    QQuickItem* row = test.rows().at(0);
    QCOMPARE(accessibleRole(row), QAccessible::ListItem);
    QCOMPARE(accessibleName(row), u"a.mov"_s);
    QAccessibleInterface* rowInterface = QAccessible::queryAccessibleInterface(row);
    QCOMPARE(rowInterface->text(QAccessible::Description), u"Ready"_s);
    QCOMPARE(accessibleName(TestWindow::part(row, u"rowTitle"_s)), u"a.mov"_s);
    QCOMPARE(accessibleName(test.item(u"destinationText"_s)), u"Same folder as each original"_s);

    test.model->add({ file(u"/m/notes.txt"_s) });
    QQuickItem* notice = test.item(u"noticeLine"_s);
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(accessibleRole(notice), QAccessible::AlertMessage);
    QCOMPARE(accessibleName(notice), refusedNotice);

    // Qt's accessible item answers the action "Press" with this method,
    // which a Qt Quick Controls 6.4 button lacks: every button must have it.
    QList<QQuickItem*> buttons;
    collectButtons(test.window->contentItem(), buttons);
    QCOMPARE_GE(buttons.size(), 11);
    for (QQuickItem* button : std::as_const(buttons)) {
        QVERIFY2(button->metaObject()->indexOfMethod("accessiblePressAction()") >= 0,
            qPrintable(accessibleName(button)));
    }
    // "Press" clicks once the request has been answered. (script/desktop-check
    // presses every control through AT-SPI.)
    QAccessible::queryAccessibleInterface(TestWindow::part(row, u"removeButton"_s))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(test.model->items()->count(), 1);
    QTRY_COMPARE(test.model->items()->count(), 0);
}

void WindowTest::keepsTheRunningRowInView()
{
    // Every movie but the last fails at once; the last one converts until let
    // go. Where copies run side by side, "four" fails only once "last" has
    // started: the row kept in view ends while the next is converting.
    const Scratch scratch;
    FakeTools tools;
    const QString gate = tools.path(u"gate"_s);
    const QString lastStarted = tools.path(u"last-started"_s);
    tools.writeProbe(videoReport(u"h264"_s, u"yuv420p"_s, u""_s, u"10"_s));
    tools.writeFfmpeg(u"case \"$*\" in *last.mov*) touch '%2'; printf 'out_time_us=2500000\\n'; "
                      "while [ ! -e '%1' ]; do sleep 0.05; done;; "
                      "*four.mov*) for i in $(seq 100); do [ -e '%2' ] && break; sleep 0.05; done; exit 1;; "
                      "*) exit 1;; esac"_s.arg(gate, lastStarted));
    const TestWindow test(*m_engine, std::make_shared<Converter>(tools.folders()));
    QList<QUrl> movies;
    for (const QString& name : { u"one"_s, u"two"_s, u"three"_s, u"four"_s, u"last"_s })
        movies.append(file(touched(scratch.path(name + u".mov"_s))));
    test.model->add(movies);
    test.click(u"convertButton"_s);

    QTRY_COMPARE_WITH_TIMEOUT(test.model->items()->at(4).status, u"Copying compatible video"_s, 20000);
    QQuickItem* list = test.item(u"queueList"_s);
    QQuickItem* running = nullptr;
    QTRY_VERIFY((running = [&]() -> QQuickItem* {
        for (QQuickItem* row : test.rows()) {
            if (row->property("fileName").toString() == u"last.mov"_s)
                return row;
        }
        return nullptr;
    }()));
    QVERIFY(list->height() < list->property("contentHeight").toReal()); // the list does scroll
    QTRY_VERIFY(running->mapToItem(list, { 0, 0 }).y() >= 0
        && running->mapToItem(list, { 0, running->height() }).y() <= list->height());
    QVERIFY(TestWindow::part(running, u"rowProgress"_s)->isVisible());
    QVERIFY(accessibleRole(running) == QAccessible::ListItem);
    QTRY_COMPARE(QAccessible::queryAccessibleInterface(running)->text(QAccessible::Description),
        u"Copying compatible video, 25 %"_s);

    QFile(gate).open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(!test.model->running(), 20000);
}

void WindowTest::convertsFromWindowButtons()
{
    const Scratch scratch;
    movies::copyTo(movies::h264(), scratch.path(u"Holiday.mov"_s));
    const TestWindow test(*m_engine);
    test.picker->movies = QList<QUrl> { file(scratch.path(u"Holiday.mov"_s)) };

    test.click(u"dropZone"_s);
    QTRY_COMPARE(test.rows().size(), 1);
    test.click(u"convertButton"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!test.model->running(), 60000);

    QQuickItem* row = test.rows().at(0);
    QTRY_VERIFY(TestWindow::part(row, u"showButton"_s)->isVisible());
    QCOMPARE(TestWindow::part(row, u"rowStatus"_s)->property("text").toString(), u"Done"_s);
    QCOMPARE(movies::videoCodec(scratch.path(u"Holiday.mp4"_s)),
        u"h264"_s);

    test.click(TestWindow::part(row, u"showButton"_s));
    QCOMPARE(test.revealer.revealed, QList<QUrl> { file(scratch.path(u"Holiday.mp4"_s)) });
}

void WindowTest::opensAndClosesWindowsFromKeyboard()
{
    QTest::failOnWarning(QRegularExpression(u"TypeError|ReferenceError|Cannot read property"_s));
    WindowSet windows(*m_engine, [] { return std::make_shared<FakePicker>(); });
    QQuickWindow* first = windows.openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(first));
    windows.modelOf(first)->add({ file(u"/m/a.mov"_s) });
    first->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(first));

    QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(windows.count(), 2);
    QQuickWindow* second = windows.windows().constLast();
    QVERIFY(second != first);
    QVERIFY(windows.modelOf(second) != windows.modelOf(first));
    QCOMPARE(windows.modelOf(second)->items()->count(), 0); // a queue of its own
    QCOMPARE(windows.modelOf(first)->items()->count(), 1);

    // Ctrl+W closes the active window, and only that one.
    second->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(second));
    QTest::keyClick(second, Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(windows.count(), 1);
    QVERIFY(windows.windows().constFirst() == first);
    QCOMPARE(windows.modelOf(first)->items()->count(), 1);
}

void WindowTest::closingWindowStopsConversion_data()
{
    QTest::addColumn<bool>("quit");
    QTest::addColumn<bool>("paused");

    QTest::newRow("close the window") << false << false;
    QTest::newRow("Ctrl+Q in another window") << true << false;
    QTest::newRow("close the window while paused") << false << true;
    QTest::newRow("Ctrl+Q while paused") << true << true;
}

void WindowTest::closingWindowStopsConversion()
{
    QFETCH(bool, quit);
    QFETCH(bool, paused);

    const Scratch scratch;
    movies::copyTo(movies::slowEncode(), scratch.path(u"slow.mov"_s));
    WindowSet windows(*m_engine, [] { return std::make_shared<FakePicker>(); });
    QSignalSpy allClosed(&windows, &WindowSet::allClosed);
    QQuickWindow* window = windows.openWindow();
    AppModel* model = windows.modelOf(window);
    model->add({ file(scratch.path(u"slow.mov"_s)) });
    model->start();
    QTRY_VERIFY_WITH_TIMEOUT(model->items()->at(0).progress > 0, 120000);
    QCOMPARE(childProcesses(::getpid(), "ffmpeg").size(), 1);
    if (paused)
        model->pause(); // ffmpeg stopped: it must be continued to see the interrupt

    // The view must never see its model vanish under it, and Ctrl+Q must
    // reach someone.
    QTest::failOnWarning(QRegularExpression(u"TypeError|ReferenceError|Cannot read property|no receivers"_s));
    if (quit) {
        QQuickWindow* other = windows.openWindow();
        other->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(other));
        QTest::keyClick(other, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(allClosed.count(), 1);
    } else {
        window->close();
    }
    QTRY_COMPARE(windows.count(), 0);

    QTRY_COMPARE(childProcesses(::getpid(), "ffmpeg").size(), 0);
    QCOMPARE(scratch.files(), QStringList { u"slow.mov"_s });
    QCOMPARE(scratch.temporaryFiles(), QStringList());
}

void WindowTest::setsUpFileDialogs()
{
    // Looks at each modal dialog as it opens, then cancels it.
    QStringList seen;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen.append(u"%1|%2|%3"_s.arg(dialog->fileMode()).arg(dialog->nameFilters().join(u';'),
            dialog->labelText(QFileDialog::Accept)));
        // It opens in a folder that exists, with no name filled in.
        const auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
        if (!dialog->directory().exists() || !name || !name->text().isEmpty())
            seen.append(u"opened in %1 with the name \"%2\""_s.arg(dialog->directory().path(),
                name ? name->text() : u"(none)"_s));
        dialog->reject();
    });
    watcher.start(20);
    DialogFilePicker picker;

    QCOMPARE(picker.pickMovies(), std::nullopt);
    QCOMPARE(picker.pickFolder(), std::nullopt);

    QVERIFY2(seen.size() == 2, qPrintable(seen.join(u'\n')));
    QVERIFY2(seen[0].startsWith(u"%1|QuickTime movies (*.[mM][oO][vV])|"_s.arg(QFileDialog::ExistingFiles)), qPrintable(seen[0]));
    QVERIFY2(seen[1].startsWith(u"%1|"_s.arg(QFileDialog::Directory)), qPrintable(seen[1]));
    QVERIFY2(seen[1].endsWith(u"|Save MP4s here"_s), qPrintable(seen[1]));
    // The filter lets CLIP.MOV through as well as clip.mov.
    const QRegularExpression filter(QRegularExpression::wildcardToRegularExpression(u"*.[mM][oO][vV]"_s));
    QVERIFY(filter.match(u"CLIP.MOV"_s).hasMatch() && filter.match(u"clip.mov"_s).hasMatch());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
