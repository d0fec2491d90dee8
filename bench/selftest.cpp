// Checks of the measuring tools themselves: if these are wrong, every
// figure built on them is wrong without anyone noticing.

#include "BenchCommon.h"
#include "protocol/CommandFrame.h"
#include "upgrade/UploadPacing.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/mman.h>

using namespace bench;

class BenchSelfTest : public QObject
{
    Q_OBJECT

private slots:
    void imageFiles_data();
    void imageFiles();
    void peakResidentSeesTheGoalsScale();
    void heapInUseFollowsAllocations();
};

void BenchSelfTest::imageFiles_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("reports");
    QTest::newRow("one byte") << qint64(1) << 1;
    QTest::newRow("one full report") << qint64(510) << 1;
    QTest::newRow("one byte into a second report") << qint64(511) << 2;
    QTest::newRow("not a multiple of the 8-byte fill") << qint64(1021) << 3;
    QTest::newRow("one report past a tick") << qint64(pacing::kReportsPerTick) * frame::kMaxDataBytes + 1
                                             << pacing::kReportsPerTick + 1;
    QTest::newRow("several fill blocks") << qint64(3 * kMiB + 5) << int((3 * kMiB + 5 + 509) / 510);
}

// The file must hold exactly the announced bytes, pass the window's header
// test, and its recorded sum must be the sum of what is on disk: the
// benchmarks compare it with what the virtual camera received.
void BenchSelfTest::imageFiles()
{
    QFETCH(qint64, size);
    QFETCH(int, reports);
    QTemporaryDir dir;
    const ImageFile image = writeImage(dir.filePath(QStringLiteral("image.bin")), size);
    QCOMPARE(image.size, size);
    QCOMPARE(image.reports, reports);

    QFile file(image.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(qint64(bytes.size()), size);
    QVERIFY(bytes.at(0) != 0);
    quint8 sum = 0;
    for (const char byte : bytes)
        sum = quint8(sum + quint8(byte));
    QCOMPARE(sum, image.sum);

    // Not a run of equal bytes: noise, so that no layer below can shortcut it.
    if (size >= 64)
        QVERIFY(bytes.count(bytes.at(1)) < bytes.size() / 4);
}

// Figure 2's method: reset the peak, then read how far it rose. It has to
// resolve a rise of the size of the goal (2 MiB), and a buffer that is
// already freed again must still count.
void BenchSelfTest::peakResidentSeesTheGoalsScale()
{
    constexpr qint64 kRiseKiB = 2 * 1024;
    constexpr qint64 kToleranceKiB = 512;
    QVERIFY(resetPeakResident());
    const qint64 before = statusKiB("VmRSS");
    QVERIFY(before > 0);
    {
        // Fresh pages straight from the kernel: memory the allocator had
        // already made resident would, rightly, not raise the peak.
        const std::size_t length = std::size_t(kRiseKiB) * 1024;
        void *pages = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        QVERIFY(pages != MAP_FAILED);
        std::memset(pages, 1, length);
        munmap(pages, length);
    }
    const qint64 rise = statusKiB("VmHWM") - before;
    QVERIFY2(rise >= kRiseKiB - kToleranceKiB && rise <= kRiseKiB + kToleranceKiB,
             qPrintable(QStringLiteral("rise of %1 KiB").arg(rise)));

    // After another reset the old peak is gone.
    QVERIFY(resetPeakResident());
    QVERIFY(statusKiB("VmHWM") - statusKiB("VmRSS") < kToleranceKiB);
}

void BenchSelfTest::heapInUseFollowsAllocations()
{
    constexpr qint64 kBytes = 3 * kMiB;
    const qint64 before = heapInUse();
    auto *block = new char[kBytes];
    std::memset(block, 0, kBytes);
    const qint64 during = heapInUse();
    delete[] block;
    QVERIFY(during - before >= kBytes);
    QVERIFY(during - heapInUse() >= kBytes);
}

QTEST_GUILESS_MAIN(BenchSelfTest)
#include "selftest.moc"
