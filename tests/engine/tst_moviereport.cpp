// Reducing ffprobe's JSON reports to duration, copy decision, audio tracks,
// HDR and the place.
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

char* toString(const MovieInfo& info)
{
    QByteArray audio;
    for (const MovieInfo::AudioTrack& track : info.audio)
        audio += " " + QByteArray::number(track.position) + ":" + track.layout.c_str();
    return qstrdup(QByteArray::number(info.duration) + (info.copyVideo ? " copy" : "")
        + (info.hdr ? " hdr" : "") + (info.checkFirstFrame ? " check" : "") + " audio "
        + QByteArray::number(info.audioStreams) + audio + " place " + info.classicLocation.c_str()
        + " track " + QByteArray::number(info.videoTrackId));
}

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
    QTest::newRow("H.264 yuv420p copies") << report(h264) << MovieInfo { .duration = 12.5, .copyVideo = true };
    QTest::newRow("10-bit H.264 encodes")
        << report(video(R"("codec_name":"h264","pix_fmt":"yuv420p10le")")) << MovieInfo { .duration = 12.5 };
    QTest::newRow("HEVC encodes")
        << report(video(R"("codec_name":"hevc","pix_fmt":"yuv420p")")) << MovieInfo { .duration = 12.5 };
    QTest::newRow("codec letter case matters")
        << report(video(R"("codec_name":"H264","pix_fmt":"yuv420p")")) << MovieInfo { .duration = 12.5 };
    QTest::newRow("pix_fmt not a string")
        << report(video(R"("codec_name":"h264","pix_fmt":0)")) << MovieInfo { .duration = 12.5 };
    QTest::newRow("audio first, video second")
        << report(R"({"codec_type":"audio","codec_name":"h264","pix_fmt":"yuv420p"},)"
               + video(R"("codec_name":"prores","color_transfer":"smpte2084")"))
        << MovieInfo { .duration = 12.5, .hdr = true, .audioStreams = 1, .audio = { { 0, "" } } };
    QTest::newRow("only the first video stream counts")
        << report(video(R"("codec_name":"prores")") + "," + h264) << MovieInfo { .duration = 12.5 };
    QTest::newRow("stream without codec_type passed over")
        << report(R"({"codec_name":"hevc"},{"codec_type":1},)" + h264) << MovieInfo { .duration = 12.5, .copyVideo = true };
    QTest::newRow("PQ") << report(video(R"("color_transfer":"smpte2084")")) << MovieInfo { .duration = 12.5, .hdr = true };
    QTest::newRow("HLG") << report(video(R"("color_transfer":"arib-std-b67")")) << MovieInfo { .duration = 12.5, .hdr = true };
    QTest::newRow("bt709 is SDR") << report(video(R"("color_transfer":"bt709")")) << MovieInfo { .duration = 12.5 };
    QTest::newRow("BT.2020 transfer: the first frame tells")
        << report(video(R"("color_transfer":"bt2020-10")"))
        << MovieInfo { .duration = 12.5, .checkFirstFrame = true };
    QTest::newRow("12-bit BT.2020 transfer") << report(video(R"("color_transfer":"bt2020-12")"))
                                            << MovieInfo { .duration = 12.5, .checkFirstFrame = true };
    QTest::newRow("no transfer, BT.2020 primaries")
        << report(video(R"("color_transfer":"unknown","color_primaries":"bt2020")"))
        << MovieInfo { .duration = 12.5, .checkFirstFrame = true };
    QTest::newRow("bt709 transfer, BT.2020 primaries")
        << report(video(R"("color_transfer":"bt709","color_primaries":"bt2020")"))
        << MovieInfo { .duration = 12.5 };
    QTest::newRow("readable audio in order, 5.1(side) as 5.1")
        << report(h264 + R"(,{"codec_type":"audio"},{"codec_type":"audio","codec_name":"unknown"},)"
               R"j({"codec_type":"audio","codec_name":"pcm_s24le","channel_layout":"5.1(side)"},)j"
               R"({"codec_type":"audio","codec_name":"aac","channel_layout":"7.1"})")
        << MovieInfo { .duration = 12.5, .copyVideo = true, .audioStreams = 4,
               .audio = { { 2, "5.1" }, { 3, "" } } };
    QTest::newRow("longest converted stream, not the container")
        << report(video(R"("duration":"3.0")") + R"(,{"codec_type":"audio","codec_name":"aac",)"
               R"("duration":"3.5"},{"codec_type":"audio","duration":"9"},)"
               R"({"codec_type":"subtitle","duration":"6"},)" + video(R"("duration":"8")"))
        << MovieInfo { .duration = 3.5, .audioStreams = 2, .audio = { { 0, "" } } };
    QTest::newRow("duration N/A") << report(h264, R"({"duration":"N/A"})") << MovieInfo { .copyVideo = true };
    QTest::newRow("duration empty") << report(h264, R"({"duration":""})") << MovieInfo { .copyVideo = true };
    QTest::newRow("duration with space") << report(h264, R"({"duration":" 12.5"})") << MovieInfo { .copyVideo = true };
    QTest::newRow("duration a JSON number") << report(h264, R"({"duration":12.5})") << MovieInfo { .copyVideo = true };
    QTest::newRow("format not an object") << report(h264, R"("12.5")") << MovieInfo { .copyVideo = true };
    QTest::newRow("no format") << QByteArray(R"({"streams":[)" + h264 + "]}") << MovieInfo { .copyVideo = true };
    const auto tagged
        = [&](const char* tags) { return report(h264, R"({"tags":{)" + QByteArray(tags) + "}}"); };
    const char* place = R"("location":"+40.6892-074.0445+10.000/")";
    const MovieInfo placed { .copyVideo = true, .classicLocation = "+40.6892-074.0445+10.000/" };
    QTest::newRow("classic place") << tagged(place) << placed;
    QTest::newRow("Apple's place kept")
        << tagged(R"("com.apple.quicktime.location.ISO6709":"+1+2/",)" + QByteArray(place))
        << MovieInfo { .copyVideo = true };
    QTest::newRow("place not ISO 6709")
        << tagged(R"("location":"Paris")") << MovieInfo { .copyVideo = true };
    QTest::newRow("track ID") << report(video(R"("id":"0x1f")")) << MovieInfo { .duration = 12.5, .videoTrackId = 31 };
    for (const char* id : { R"("id":"31")", R"("id":"0x")", R"("id":"0x1g")", R"("id":"0x100000000")", R"("id":31)" })
        QTest::newRow(id) << report(video(id)) << MovieInfo { .duration = 12.5 };
}

void MovieReportTest::readsReport()
{
    QFETCH(QByteArray, json);
    QFETCH(MovieInfo, expected);
    QCOMPARE(MovieInfo::fromReport(json.toStdString()), expected);
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
