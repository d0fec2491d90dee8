// The frame code that needs no window: request building byte for byte, the
// reply decoder at its boundaries, data reports and the upload arithmetic.

#include "protocol/CommandFrame.h"
#include "protocol/ImageChecks.h"
#include "protocol/UploadPipeline.h"

#include <QRandomGenerator>
#include <QTest>

#include <vector>

using namespace frame;

namespace {

QByteArray bytesOf(const CommandBuffer &buffer)
{
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), int(buffer.size()));
}

// A 64-byte frame from a hex prefix; every byte not given is zero.
QByteArray frameFromHex(const char *hex, int size = kCommandFrameSize)
{
    QByteArray frame = QByteArray::fromHex(hex);
    frame.append(QByteArray(size - frame.size(), '\0'));
    return frame;
}

QByteArray withChecksum(QByteArray report)
{
    report[report.size() - 1] = char(byteSum(reinterpret_cast<const quint8 *>(report.constData()),
                                             std::size_t(report.size() - 1)));
    return report;
}

} // namespace

class FramesTest : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void requestPayloadIsCut();
    void replyChecks_data();
    void replyChecks();
    void replyLengthRules_data();
    void replyLengthRules();
    void randomReportsNeverOverrun();
    void dataReports_data();
    void dataReports();
    void byteSumIsUnsigned();
    void percentages_data();
    void percentages();
    void headerTest_data();
    void headerTest();
};

void FramesTest::requests_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    const quint8 mode2 = 2;
    const auto size = bigEndianSize(1048576);
    const quint8 sum = 0x02;
    QTest::newRow("set mode 2") << bytesOf(buildRequest(CAMERA_SET_MODE, &mode2, 1))
                                << frameFromHex("11223320960100" "02");
    QTest::newRow("upgrade start 1 MiB") << bytesOf(buildRequest(UPGRADE_START, size.data(), 4))
                                         << frameFromHex("11223322000400" "00100000");
    QTest::newRow("version preamble") << bytesOf(buildRequest(VERSION_PREAMBLE))
                                      << frameFromHex("11223327");
    QTest::newRow("get version") << bytesOf(buildRequest(CAMERA_GET_VERSION)) << frameFromHex("1122332006");
    QTest::newRow("get mode") << bytesOf(buildRequest(CAMERA_GET_MODE)) << frameFromHex("11223320b0");
    QTest::newRow("uvc name") << bytesOf(buildRequest(CAMERA_GET_UVC_NAME_STRING)) << frameFromHex("11223320c6");
    QTest::newRow("audio levels") << bytesOf(buildRequest(CAMERA_GET_AUDIO_LEVELS)) << frameFromHex("11223320d0");
    QTest::newRow("lpf") << bytesOf(buildRequest(CAMERA_LPF_SWITCH)) << frameFromHex("11223320d2");
    QTest::newRow("enter upd") << bytesOf(buildRequest(CAMERA_ENTER_UPD)) << frameFromHex("11223320d3");
    QTest::newRow("upload complete") << bytesOf(buildRequest(UPGRADE_UPLOAD_COMPLETE, &sum, 1))
                                     << frameFromHex("11223322020100" "02");
    QTest::newRow("mode 1 reply with checksum")
        << bytesOf(buildReply(CAMERA_GET_MODE_ACK, reinterpret_cast<const quint8 *>("\x01"), 1))
        << withChecksum(frameFromHex("11223320b10100" "01"));
}

void FramesTest::requests()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void FramesTest::requestPayloadIsCut()
{
    // A payload longer than the frame can carry must not run over the end.
    const QByteArray big(200, '\x7f');
    const CommandBuffer built = buildRequest(CAMERA_SET_MODE, reinterpret_cast<const quint8 *>(big.constData()), big.size());
    QCOMPARE(int(built[kLengthOffset]), kMaxPayload);
    QCOMPARE(int(built[kCommandFrameSize - 1]), 0);
    QCOMPARE(int(built[kCommandFrameSize - 2]), 0x7f);
    // And the worked example's reply checksum byte: 0x39.
    const quint8 one = 1;
    QCOMPARE(int(buildReply(CAMERA_GET_MODE_ACK, &one, 1)[63]), 0x39);
}

void FramesTest::replyChecks_data()
{
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<bool>("checksumOk");

    using V = Reply::Verdict;
    const QByteArray good = withChecksum(frameFromHex("11223320b10100" "01"));
    QTest::newRow("empty") << QByteArray() << int(V::TooShort) << false;
    QTest::newRow("size 6") << good.left(6) << int(V::TooShort) << false;
    QTest::newRow("size 7, n 0") << withChecksum(frameFromHex("112233200700", 7)) << int(V::Accepted) << true;
    QTest::newRow("size 7, n 1") << withChecksum(frameFromHex("112233200701", 7)) << int(V::BadLength) << false;

    QByteArray n57 = frameFromHex("11223320c7");
    n57[5] = char(57);
    QTest::newRow("n 57 fits") << withChecksum(n57) << int(V::Accepted) << true;
    QByteArray n58 = n57;
    n58[5] = char(58);
    QTest::newRow("n 58 too long") << withChecksum(n58) << int(V::BadLength) << false;
    QByteArray n255 = n57;
    n255[5] = char(0xff);
    QTest::newRow("n 255") << n255 << int(V::BadLength) << false;

    QByteArray wrongSum = good;
    wrongSum[63] = char(0x38);
    QTest::newRow("checksum off by one still accepted") << wrongSum << int(V::Accepted) << false;
    QByteArray badHeader = good;
    badHeader[2] = char(0x34);
    QTest::newRow("third header byte") << withChecksum(badHeader) << int(V::BadHeader) << true;
    QByteArray badId = good;
    badId[0] = char(0x12);
    QTest::newRow("report id") << withChecksum(badId) << int(V::BadHeader) << true;
    QTest::newRow("short report, checksum in its last byte")
        << withChecksum(frameFromHex("11223320b10100" "08", 9)) << int(V::Accepted) << true;
    QByteArray highBytes = frameFromHex("11223320c70a00");
    for (int i = 7; i < 17; ++i)
        highBytes[i] = char(0xF0 + i);
    QTest::newRow("sum over bytes above 0x7f") << withChecksum(highBytes) << int(V::Accepted) << true;
}

void FramesTest::replyChecks()
{
    QFETCH(QByteArray, report);
    QFETCH(int, verdict);
    QFETCH(bool, checksumOk);
    const auto *bytes = reinterpret_cast<const quint8 *>(report.constData());
    const Reply reply = decodeReply(bytes, report.size());
    QCOMPARE(int(reply.verdict), verdict);
    QCOMPARE(reply.checksumOk(), checksumOk);
    if (reply.verdict == Reply::Verdict::Accepted) {
        QCOMPARE(int(reply.command.group), int(quint8(report.at(3))));
        QCOMPARE(int(reply.command.code), int(quint8(report.at(4))));
        // The payload is the n bytes from byte 7 of what was received.
        QCOMPARE(reply.payload.data, bytes + kPayloadOffset);
        QCOMPARE(reply.payload.size, int(quint8(report.at(5))));
    } else {
        QCOMPARE(reply.payload.size, 0);
        QVERIFY(!reply.actionable());
    }
}

void FramesTest::replyLengthRules_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("fits");

    QTest::newRow("version, any length") << 0x20 << 0x07 << 0 << 64 << true;
    QTest::newRow("version in 7 bytes") << 0x20 << 0x07 << 0 << 7 << false;
    QTest::newRow("name in 7 bytes") << 0x20 << 0xC7 << 0 << 7 << false;
    QTest::newRow("name, 57 bytes") << 0x20 << 0xC7 << 57 << 64 << true;
    QTest::newRow("set mode ack 1") << 0x20 << 0x97 << 1 << 64 << true;
    QTest::newRow("set mode ack 2") << 0x20 << 0x97 << 2 << 64 << false;
    QTest::newRow("get mode ack 0") << 0x20 << 0xB1 << 0 << 64 << false;
    QTest::newRow("get mode ack 3") << 0x20 << 0xB1 << 3 << 64 << true;
    QTest::newRow("levels 10") << 0x20 << 0xD1 << 10 << 64 << true;
    QTest::newRow("levels 9") << 0x20 << 0xD1 << 9 << 64 << false;
    QTest::newRow("levels 11") << 0x20 << 0xD1 << 11 << 64 << false;
    QTest::newRow("start ack 1") << 0x22 << 0x01 << 1 << 64 << true;
    QTest::newRow("complete ack 0") << 0x22 << 0x03 << 0 << 64 << false;
    QTest::newRow("progress 2") << 0x22 << 0x04 << 2 << 64 << false;
    QTest::newRow("unknown camera code") << 0x20 << 0x55 << 1 << 64 << false;
    QTest::newRow("a request code") << 0x22 << 0x00 << 1 << 64 << false;
    QTest::newRow("another group") << 0x27 << 0x07 << 1 << 64 << false;
}

void FramesTest::replyLengthRules()
{
    QFETCH(int, group);
    QFETCH(int, code);
    QFETCH(int, length);
    QFETCH(int, size);
    QFETCH(bool, fits);
    QByteArray report = frameFromHex("112233", size);
    report[3] = char(group);
    report[4] = char(code);
    report[5] = char(length);
    report = withChecksum(report);
    const Reply reply = decodeReply(reinterpret_cast<const quint8 *>(report.constData()), size);
    QCOMPARE(int(reply.verdict), int(Reply::Verdict::Accepted));
    QCOMPARE(reply.lengthFits, fits);
    QCOMPARE(reply.actionable(), fits);
    // Only the replies of the table are known; their rule is the table's.
    const bool known = reply.rule != nullptr;
    QVERIFY(!fits || known);
    if (known)
        QVERIFY(reply.rule->command == reply.command);
}

void FramesTest::randomReportsNeverOverrun()
{
    // Random bytes of every length, run under the sanitizers in CI: the
    // decoder must only ever read what it was given, and its payload must
    // lie inside it.
    QRandomGenerator random(20261207);
    for (int round = 0; round < 2000; ++round) {
        const int size = int(random.bounded(65));
        std::vector<quint8> bytes(static_cast<std::size_t>(size));
        for (quint8 &byte : bytes)
            byte = quint8(random.bounded(256));
        if (size > 3 && random.bounded(2)) {
            bytes[0] = 0x11;
            bytes[1] = 0x22;
            bytes[2] = 0x33;
        }
        const Reply reply = decodeReply(bytes.data(), size);
        if (reply.verdict == Reply::Verdict::Accepted) {
            QVERIFY(reply.payloadLength + 7 <= size);
            // The payload ends at the last byte received at the latest (with
            // the largest length byte it takes in the checksum byte too).
            QVERIFY(reply.payload.data + reply.payload.size <= bytes.data() + size);
            QVERIFY(reply.payload.text().size() <= reply.payload.size);
        }
    }
}

void FramesTest::dataReports_data()
{
    QTest::addColumn<int>("imageSize");
    QTest::addColumn<QVector<int>>("chunks");

    QTest::newRow("1 byte") << 1 << QVector<int>{1};
    QTest::newRow("510 bytes") << 510 << QVector<int>{510};
    QTest::newRow("511 bytes") << 511 << QVector<int>{510, 1};
    QTest::newRow("1021 bytes") << 1021 << QVector<int>{510, 510, 1};
}

void FramesTest::dataReports()
{
    QFETCH(int, imageSize);
    QFETCH(QVector<int>, chunks);

    QByteArray image(imageSize, '\0');
    for (int i = 0; i < imageSize; ++i)
        image[i] = char(0x80 + i % 97);
    QByteArray rebuilt;
    quint8 sum = 0;
    int offset = 0;
    for (int expected : chunks) {
        DataReportBuffer report;
        report.fill(0xAA); // stale bytes from an earlier report must not survive
        const int n = upload::prepareDataReport(report, reinterpret_cast<const quint8 *>(image.constData()) + offset,
                                                imageSize - offset, sum);
        QCOMPARE(n, expected);
        QCOMPARE(int(report[0]), 0x22);
        QCOMPARE(int(report[1]), 0x00);
        for (int i = kDataOffset + n; i < kDataReportSize; ++i)
            QCOMPARE(int(report[std::size_t(i)]), 0);
        rebuilt.append(reinterpret_cast<const char *>(report.data()) + kDataOffset, n);
        offset += n;
    }
    QCOMPARE(rebuilt, image);
    QCOMPARE(int(sum), int(byteSum(reinterpret_cast<const quint8 *>(image.constData()), std::size_t(imageSize))));
}

void FramesTest::byteSumIsUnsigned()
{
    const quint8 bytes[] = {0x01, 0x02, 0xFF};
    QCOMPARE(int(byteSum(bytes, 3)), 0x02);
    const quint8 high[] = {0x80, 0x80, 0x81};
    QCOMPARE(int(byteSum(high, 3)), 0x81);
}

void FramesTest::percentages_data()
{
    QTest::addColumn<qint64>("sent");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("percent");

    QTest::newRow("first report of 1000") << qint64(510) << qint64(1000) << 51;
    QTest::newRow("all of 1000") << qint64(1000) << qint64(1000) << 100;
    QTest::newRow("truncates") << qint64(1) << qint64(3) << 33;
    QTest::newRow("more than announced") << qint64(2000) << qint64(1000) << 100;
    QTest::newRow("empty image") << qint64(0) << qint64(0) << 100;
    QTest::newRow("4 GiB less one") << qint64(0xFFFFFFFFLL) << qint64(0xFFFFFFFFLL) << 100;
}

void FramesTest::percentages()
{
    QFETCH(qint64, sent);
    QFETCH(qint64, total);
    QFETCH(int, percent);
    QCOMPARE(upload::uploadPercent(sent, total), percent);
}

void FramesTest::headerTest_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("passes");
    QTest::newRow("nothing read") << QByteArray() << false;
    QTest::newRow("sixteen zeros") << QByteArray(16, '\0') << false;
    QTest::newRow("last of five") << QByteArray("\0\0\0\0\x01", 5) << true;
    QTest::newRow("first byte") << QByteArray("\x80", 1) << true;
}

void FramesTest::headerTest()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, passes);
    QCOMPARE(imagecheck::hasNonZeroHeader(head), passes);
}

QTEST_GUILESS_MAIN(FramesTest)
#include "tst_frames.moc"
