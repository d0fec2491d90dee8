#include "WindowHarness.h"

#include <QApplication>
#include <QTest>

WindowHarness::WindowHarness()
    : camera(sim::VirtualCamera::instance())
{
    camera.reset();
    camera.setReadWaits(false);
    window = std::make_unique<MainWindow>();
    window->show();
    QCoreApplication::processEvents();
}

WindowHarness::~WindowHarness()
{
    window.reset();
    camera.reset();
}

void WindowHarness::click(const char *name)
{
    auto *button = find<QAbstractButton>(name);
    if (!button)
        qFatal("no button named %s", name);
    button->click();
}

bool WindowHarness::connect(sim::Identity identity)
{
    camera.attach(identity);
    refresh();
    return drainReplies();
}

bool WindowHarness::drainReplies()
{
    // The poll reads one report per 20 ms tick and dispatches it in the same
    // tick, so once nothing is queued every reply has been handled.
    for (int i = 0; i < 250; ++i) {
        QTest::qWait(20);
        if (camera.pendingReports() == 0)
            return true;
    }
    return false;
}

QVector<QPair<int, int>> WindowHarness::requests() const
{
    QVector<QPair<int, int>> list;
    for (const QByteArray &frame : camera.controlRequests())
        list.append(qMakePair(int(quint8(frame.at(3))), int(quint8(frame.at(4)))));
    return list;
}

QByteArray cameraReply(quint8 group, quint8 code, const QByteArray &payload, int size)
{
    QByteArray report(size, '\0');
    report[0] = char(0x11);
    report[1] = char(0x22);
    report[2] = char(0x33);
    report[3] = char(group);
    report[4] = char(code);
    report[5] = char(payload.size());
    for (int i = 0; i < payload.size() && 7 + i < size - 1; ++i)
        report[7 + i] = payload.at(i);
    report[size - 1] = char(byteSumOf(report.left(size - 1)));
    return report;
}

quint8 byteSumOf(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char byte : bytes)
        sum = quint8(sum + quint8(byte));
    return sum;
}
