// Reading back the shape of an MP4: what passes as whole and what does not.
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

QTEST_APPLESS_MAIN(WrittenMovieTest)
#include "tst_writtenmovie.moc"
