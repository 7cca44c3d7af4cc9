// Number reading in every locale, and the UTF-8 handling of ffmpeg's output.
#include "NumberReading.h"
#include "Utf8.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cmath>

using namespace Qt::StringLiterals;

class TextReadingTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsNumbers_data();
    void readsNumbers();
    void readsNumbersInGermanLocale();
    void decodesLossily_data();
    void decodesLossily();
    void takesLastCodePoints();
};

void TextReadingTest::readsNumbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("ffprobe duration") << QByteArray("12.500000") << true << 12.5;
    QTest::newRow("integer") << QByteArray("6250000") << true << 6250000.0;
    QTest::newRow("negative") << QByteArray("-3") << true << -3.0;
    QTest::newRow("exponent") << QByteArray("1e3") << true << 1000.0;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << true << 16.0;
    QTest::newRow("plus sign") << QByteArray("+2.5") << true << 2.5;
    QTest::newRow("empty") << QByteArray("") << false << 0.0;
    QTest::newRow("N/A") << QByteArray("N/A") << false << 0.0;
    QTest::newRow("leading space") << QByteArray(" 12.5") << false << 0.0;
    QTest::newRow("leading tab") << QByteArray("\t12.5") << false << 0.0;
    QTest::newRow("leading carriage return") << QByteArray("\r12.5") << false << 0.0;
    QTest::newRow("trailing space") << QByteArray("12.5 ") << false << 0.0;
    QTest::newRow("trailing carriage return") << QByteArray("12.5\r") << false << 0.0;
    QTest::newRow("comma decimal") << QByteArray("12,5") << false << 0.0;
    QTest::newRow("inner NUL") << QByteArray("12\0.5", 5) << false << 0.0;
}

void TextReadingTest::readsNumbers()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const auto number = readNumber(std::string_view(text.constData(), text.size()));
    QCOMPARE(number.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*number, value);
}

void TextReadingTest::readsNumbersInGermanLocale()
{
    // A German locale reads "12,5"; the engine must still read "12.5". The
    // locale is compiled into a private folder, so no system setting changes.
    QTemporaryDir locales;
    QProcess localedef;
    localedef.start(u"localedef"_s,
        { u"-i"_s, u"de_DE"_s, u"-f"_s, u"UTF-8"_s, locales.filePath(u"de_DE.UTF-8"_s) });
    if (!localedef.waitForFinished(60000) || !QFileInfo::exists(locales.filePath(u"de_DE.UTF-8"_s)))
        QSKIP("localedef could not build a German locale here");
    qputenv("LOCPATH", locales.path().toLocal8Bit());
    QVERIFY(std::setlocale(LC_ALL, "de_DE.UTF-8"));
    QCOMPARE(std::strtod("12,5", nullptr), 12.5); // the locale is really in force

    const auto number = readNumber("12.5");
    const auto german = readNumber("12,5");

    std::setlocale(LC_ALL, "C");
    qunsetenv("LOCPATH");
    QVERIFY(number.has_value());
    QCOMPARE(*number, 12.5);
    QVERIFY(!german.has_value());
}

void TextReadingTest::decodesLossily_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ASCII") << QByteArray("out_time_us=1\n") << u"out_time_us=1\n"_s;
    QTest::newRow("two-byte") << QByteArray("Fahrr\xC3\xA4" "der") << u"Fahrräder"_s;
    QTest::newRow("lone continuation") << QByteArray("a\x80" "b") << u"a\uFFFDb"_s;
    QTest::newRow("truncated sequence at end") << QByteArray("a\xE2\x82") << u"a\uFFFD"_s;
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << u"\uFFFD\uFFFD"_s;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << u"\uFFFD\uFFFD\uFFFD"_s;
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << u"\uFFFD\uFFFD\uFFFD\uFFFD"_s;
    QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x8E\xAC") << u"🎬"_s;
}

void TextReadingTest::decodesLossily()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const std::string decoded = utf8::decodeLossy(std::string_view(bytes.constData(), bytes.size()));
    QCOMPARE(QString::fromStdString(decoded), text);
    QVERIFY(utf8::isValid(decoded));
    QCOMPARE(utf8::isValid(std::string_view(bytes.constData(), bytes.size())), decoded == bytes.toStdString());
}

void TextReadingTest::takesLastCodePoints()
{
    QCOMPARE(utf8::lastCodePoints("abc", 900), std::string_view("abc"));
    QCOMPARE(utf8::lastCodePoints("", 900), std::string_view(""));
    QCOMPARE(utf8::lastCodePoints("h\xC3\xA4" "llo", 4), std::string_view("\xC3\xA4llo"));
    QCOMPARE(utf8::lastCodePoints("\xF0\x9F\x8E\xAC\xF0\x9F\x8E\xAC", 1), std::string_view("\xF0\x9F\x8E\xAC"));
}

QTEST_APPLESS_MAIN(TextReadingTest)
#include "tst_textreading.moc"
