// Reducing ffprobe's JSON report to duration, copy decision and HDR.
#include "ConversionFailure.h"
#include "MovieInfo.h"

#include <QTest>
#include <nlohmann/json.hpp>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MovieInfo)

namespace {

const QString noVideoTrack
    = u"Could not read a video track. Check that the MOV is complete and playable."_s;

QByteArray video(const char* members)
{
    return QByteArray(R"({"codec_type":"video",)") + members + "}";
}

QByteArray report(const QByteArray& streams, const QByteArray& format = R"({"duration":"12.500000"})")
{
    return R"({"streams":[)" + streams + R"(],"format":)" + format + "}";
}

} // namespace

class MovieReportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsReport_data();
    void readsReport();
    void refusesReportWithoutVideo_data();
    void refusesReportWithoutVideo();
    void passesParserErrorThrough();
};

void MovieReportTest::readsReport_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<MovieInfo>("expected");

    const QByteArray h264 = video(R"("codec_name":"h264","pix_fmt":"yuv420p")");
    QTest::newRow("H.264 yuv420p copies") << report(h264) << MovieInfo { 12.5, true, false };
    QTest::newRow("10-bit H.264 encodes")
        << report(video(R"("codec_name":"h264","pix_fmt":"yuv420p10le")")) << MovieInfo { 12.5, false, false };
    QTest::newRow("HEVC encodes")
        << report(video(R"("codec_name":"hevc","pix_fmt":"yuv420p")")) << MovieInfo { 12.5, false, false };
    QTest::newRow("codec letter case matters")
        << report(video(R"("codec_name":"H264","pix_fmt":"yuv420p")")) << MovieInfo { 12.5, false, false };
    QTest::newRow("pix_fmt not a string")
        << report(video(R"("codec_name":"h264","pix_fmt":0)")) << MovieInfo { 12.5, false, false };
    QTest::newRow("audio first, video second")
        << report(R"({"codec_type":"audio","codec_name":"h264","pix_fmt":"yuv420p"},)"
               + video(R"("codec_name":"prores","color_transfer":"smpte2084")"))
        << MovieInfo { 12.5, false, true };
    QTest::newRow("only the first video stream counts")
        << report(video(R"("codec_name":"prores")") + "," + h264) << MovieInfo { 12.5, false, false };
    QTest::newRow("stream without codec_type passed over")
        << report(R"({"codec_name":"hevc"},{"codec_type":1},)" + h264) << MovieInfo { 12.5, true, false };
    QTest::newRow("PQ") << report(video(R"("color_transfer":"smpte2084")")) << MovieInfo { 12.5, false, true };
    QTest::newRow("HLG") << report(video(R"("color_transfer":"arib-std-b67")")) << MovieInfo { 12.5, false, true };
    QTest::newRow("bt709 is SDR") << report(video(R"("color_transfer":"bt709")")) << MovieInfo { 12.5, false, false };
    QTest::newRow("bt2020-10 is SDR")
        << report(video(R"("color_transfer":"bt2020-10")")) << MovieInfo { 12.5, false, false };
    QTest::newRow("duration N/A") << report(h264, R"({"duration":"N/A"})") << MovieInfo { 0, true, false };
    QTest::newRow("duration empty") << report(h264, R"({"duration":""})") << MovieInfo { 0, true, false };
    QTest::newRow("duration with space") << report(h264, R"({"duration":" 12.5"})") << MovieInfo { 0, true, false };
    QTest::newRow("duration a JSON number") << report(h264, R"({"duration":12.5})") << MovieInfo { 0, true, false };
    QTest::newRow("format not an object") << report(h264, R"("12.5")") << MovieInfo { 0, true, false };
    QTest::newRow("no format") << QByteArray(R"({"streams":[)" + h264 + "]}") << MovieInfo { 0, true, false };
}

void MovieReportTest::readsReport()
{
    QFETCH(QByteArray, json);
    QFETCH(MovieInfo, expected);
    const MovieInfo info = MovieInfo::fromReport(json.toStdString());
    QCOMPARE(info.duration, expected.duration);
    QCOMPARE(info.copyVideo, expected.copyVideo);
    QCOMPARE(info.hdr, expected.hdr);
}

void MovieReportTest::refusesReportWithoutVideo_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("empty streams") << report("");
    QTest::newRow("only audio") << report(R"({"codec_type":"audio"})");
    QTest::newRow("codec_type not a string") << report(R"({"codec_type":["video"]})");
    QTest::newRow("non-object stream after the video") << report(video("\"x\":1") + ",3");
    QTest::newRow("streams not an array") << QByteArray(R"({"streams":{}})");
    QTest::newRow("no streams") << QByteArray(R"({"format":{}})");
    QTest::newRow("top level an array") << QByteArray("[]");
}

void MovieReportTest::refusesReportWithoutVideo()
{
    QFETCH(QByteArray, json);
    try {
        MovieInfo::fromReport(json.toStdString());
        QFAIL("no failure");
    } catch (const ConversionFailure& failure) {
        QCOMPARE(QString::fromUtf8(failure.what()), noVideoTrack);
    }
}

void MovieReportTest::passesParserErrorThrough()
{
    QVERIFY_THROWS_EXCEPTION(nlohmann::json::parse_error, MovieInfo::fromReport("{\"streams\": ["));
    QVERIFY_THROWS_EXCEPTION(nlohmann::json::parse_error, MovieInfo::fromReport(""));
}

QTEST_APPLESS_MAIN(MovieReportTest)
#include "tst_moviereport.moc"
