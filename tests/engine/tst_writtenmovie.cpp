// Reading back the shape of an MP4: what passes as whole and what does not;
// its timing, and a movie's edit list set in it.
#include "EditListCopy.h"
#include "MovieTiming.h"
#include "WrittenMovie.h"

#include <QTemporaryFile>
#include <QTest>
#include <QtEndian>
#include <optional>

namespace {

QByteArray be32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be64(quint64 value)
{
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray box(const QByteArray& type, const QByteArray& content)
{
    return be32(quint32(8 + content.size())) + type + content;
}

// A movie header of `seconds` at a timescale of 1000, in version 0 or 1.
QByteArray mvhd(double seconds, int version = 0)
{
    const auto ticks = quint64(seconds * 1000);
    QByteArray content = be32(quint32(version) << 24);
    if (version == 1)
        content += be64(0) + be64(0) + be32(1000) + be64(ticks);
    else
        content += be32(0) + be32(0) + be32(1000) + be32(quint32(ticks));
    return box("mvhd", content + QByteArray(80, '\0'));
}

// A track: its header, edit list (duration and media time of each entry) and handler.
using Edits = QList<QPair<quint64, qint64>>;
QByteArray trak(const QByteArray& handler, quint64 duration, const Edits& edits, int version = 0)
{
    const QByteArray header = version == 1 ? be64(0) + be64(0) + be32(1) + be32(0) + be64(duration)
                                           : be32(0) + be32(0) + be32(1) + be32(0) + be32(quint32(duration));
    QByteArray list = be32(quint32(version) << 24) + be32(quint32(edits.size()));
    for (const auto& [length, start] : edits) {
        list += version == 1 ? be64(length) + be64(quint64(start)) : be32(quint32(length)) + be32(quint32(start));
        list += be32(0x10000);
    }
    return box("trak", box("tkhd", be32(quint32(version) << 24) + header + QByteArray(60, '\0'))
            + box("edts", box("elst", list))
            + box("mdia", box("hdlr", be32(0) + be32(0) + handler + QByteArray(12, '\0'))));
}

const QByteArray ftyp = box("ftyp", "isom" + be32(512));
const QByteArray mdat = box("mdat", QByteArray(1000, 'x'));
const QByteArray moov = box("moov", mvhd(12.5) + box("trak", {}));

} // namespace

class WrittenMovieTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsShape_data();
    void readsShape();
    void setsEditList_data();
    void setsEditList();
};

void WrittenMovieTest::readsShape_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("duration"); // -1: not whole
    QTest::newRow("index at the front") << ftyp + moov + mdat << 12.5;
    QTest::newRow("index at the end") << ftyp + mdat + moov << 12.5;
    QTest::newRow("64-bit media size") << ftyp + moov + be32(1) + "mdat" + be64(16 + 1000) + QByteArray(1000, 'x')
                                       << 12.5;
    QTest::newRow("last box to the end") << ftyp + moov + be32(0) + "mdat" + QByteArray(1000, 'x') << 12.5;
    QTest::newRow("version 1 header") << ftyp + box("moov", mvhd(7200, 1) + box("trak", {})) + mdat << 7200.0;
    QTest::newRow("empty") << QByteArray() << -1.0;
    QTest::newRow("media cut short") << ftyp + moov + mdat.left(500) << -1.0;
    QTest::newRow("index cut short") << ftyp + mdat + moov.left(moov.size() - 4) << -1.0;
    QTest::newRow("stray bytes at the end") << ftyp + moov + mdat + "abc" << -1.0;
    QTest::newRow("no index") << ftyp + mdat << -1.0;
    QTest::newRow("index without tracks") << ftyp + box("moov", mvhd(12.5)) + mdat << -1.0;
    QTest::newRow("index without header") << ftyp + box("moov", box("trak", {})) + mdat << -1.0;
    QTest::newRow("box smaller than its header") << ftyp + be32(4) + "free" + moov << -1.0;
    QTest::newRow("child past its parent") << ftyp + box("moov", mvhd(12.5) + be32(100) + "trak") + mdat << -1.0;
}

void WrittenMovieTest::readsShape()
{
    QFETCH(QByteArray, file);
    QFETCH(double, duration);
    QTemporaryFile written;
    QVERIFY(written.open());
    written.write(file);
    written.flush();

    const std::optional<WrittenMovie> movie = WrittenMovie::read(written.handle());

    QCOMPARE(movie.has_value(), duration >= 0);
    if (movie)
        QCOMPARE(movie->duration, duration);
}

void WrittenMovieTest::setsEditList_data()
{
    QTest::addColumn<QByteArray>("written"); // ffmpeg's video edits, then a sound track of 2.95 s
    QTest::addColumn<Edits>("movie"); // the movie's video edits
    QTest::addColumn<Edits>("result"); // the video edits afterwards
    QTest::addColumn<quint64>("duration"); // the movie header's afterwards
    const auto written = [](const Edits& edits, int version = 0) {
        quint64 length = 0;
        for (const auto& edit : edits)
            length += edit.first;
        return ftyp + mdat + box("moov", mvhd(3.0, version) + trak("vide", length, edits, version)
                + trak("soun", 2950, { { 2950, 1024 } }, version));
    };
    const Edits whole { { 3000, 1024 } }, late { { 66, -1 }, { 3000, 1024 } };
    QTest::newRow("trimmed at the end") << written(whole) << Edits { { 2900, 512 } } << Edits { { 2900, 1024 } } << 2950ull;
    QTest::newRow("version 1 boxes") << written(whole, 1) << Edits { { 2900, 512 } } << Edits { { 2900, 1024 } } << 2950ull;
    QTest::newRow("nothing shown first") << written(late) << Edits { { 500, -1 }, { 2000, 0 } } << Edits { { 500, -1 }, { 2000, 1024 } } << 2950ull;
    QTest::newRow("never longer than written") << written(whole) << Edits { { 9000, 0 } } << whole << 3000ull;
    QTest::newRow("another shape") << written(late) << Edits { { 2900, 0 } } << late << 3000ull;
    QTest::newRow("several stretches") << written(whole) << Edits { { 1000, 0 }, { 1000, 2000 } } << whole << 3000ull;
    QByteArray past = written(whole);
    past.replace(past.indexOf("elst") + 8, 4, be32(2)); // two entries said, one there
    QTest::newRow("edit list past its box") << past << Edits { { 2900, 0 } } << Edits() << 3000ull;
}

void WrittenMovieTest::setsEditList()
{
    QFETCH(QByteArray, written);
    QFETCH(Edits, movie);
    QFETCH(Edits, result);
    QFETCH(quint64, duration);
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(written);
    file.flush();
    MovieTiming::Track source;
    source.edits.emplace();
    for (const auto& [length, start] : movie)
        source.edits->push_back({ { length, 0, 4 }, start });

    const std::optional<MovieTiming> before = MovieTiming::read(file.handle());
    QVERIFY(before);
    QVERIFY(writeNumbers(file.handle(), editListChanges(*before, 1000, source)));

    const std::optional<MovieTiming> after = MovieTiming::read(file.handle());
    QVERIFY(after && after->tracks.size() == 2);
    Edits edits;
    quint64 shown = 0;
    for (const MovieTiming::Edit& edit : after->tracks[0].edits.value_or(std::vector<MovieTiming::Edit>())) {
        edits.append({ edit.duration.value, edit.mediaTime });
        shown += edit.duration.value;
    }
    QCOMPARE(edits, result);
    QCOMPARE(after->tracks[0].duration.value, result.isEmpty() ? 3000 : shown);
    QCOMPARE(after->duration.value, duration);
    QCOMPARE(file.size(), written.size());
}

QTEST_APPLESS_MAIN(WrittenMovieTest)
#include "tst_writtenmovie.moc"
