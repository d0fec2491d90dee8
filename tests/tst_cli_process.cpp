// The demo command-line program as a process, as a script or a person meets
// it: exit codes, stdout and stderr kept apart (JSON only on stdout under
// --json, errors as JSON on stderr), one line per 10 % when stdout is no
// terminal, the camera's state kept between runs, Ctrl-C, SIGTERM and
// SIGHUP, and two programs on one camera.

#include "support/Bytes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#ifndef CLI_DEMO_PROGRAM
#error "CLI_DEMO_PROGRAM must name the demo command-line program"
#endif

namespace {

constexpr int kRunTimeoutMs = 30000;
constexpr int kImageSize = 200 * 1024;

// How the second of two programs on one camera starts.
enum class Second {
    WhileFirstHolds,   // once the first has taken the camera
    Together,          // at the same moment as the first
    AfterFirstKilled,  // once the first, holding it, was killed with SIGKILL
};

struct Finished
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

Q_DECLARE_METATYPE(Second)

class CliProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitCodesAndStreams_data();
    void exitCodesAndStreams();
    void stateCarriesOverBetweenRuns();
    void upgradeLinesWhenNotATerminal();
    void interruptDuringUploadThenRecover_data();
    void interruptDuringUploadThenRecover();
    void interruptWhileTheCameraWrites_data();
    void interruptWhileTheCameraWrites();
    void secondInterruptEndsAtOnce_data();
    void secondInterruptEndsAtOnce();
    void twoProgramsOnOneCamera_data();
    void twoProgramsOnOneCamera();

private:
    QProcess *start(const QStringList &arguments, const QString &settings, const QString &state = QString());
    Finished finish(QProcess *process);
    Finished run(const QStringList &arguments, const QString &settings = QString(), const QString &state = QString());

    QTemporaryDir m_dir;
    QString m_image;
    QString m_blank;
};

void CliProcessTest::initTestCase()
{
    QVERIFY(QFile::exists(QStringLiteral(CLI_DEMO_PROGRAM)));
    QVERIFY(m_dir.isValid());
    m_image = m_dir.filePath(QStringLiteral("firmware.bin"));
    m_blank = m_dir.filePath(QStringLiteral("blank.bin"));
    QFile image(m_image);
    QVERIFY(image.open(QIODevice::WriteOnly) && image.write(noiseImage(kImageSize)) == kImageSize);
    QFile blank(m_blank);
    QVERIFY(blank.open(QIODevice::WriteOnly) && blank.write(QByteArray(32, '\0')) == 32);
}

QProcess *CliProcessTest::start(const QStringList &arguments, const QString &settings, const QString &state)
{
    auto *process = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KELVORA_CLI_DEMO"), settings);
    if (state.isEmpty())
        environment.remove(QStringLiteral("KELVORA_CLI_DEMO_STATE"));
    else
        environment.insert(QStringLiteral("KELVORA_CLI_DEMO_STATE"), state);
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(CLI_DEMO_PROGRAM), arguments);
    if (!process->waitForStarted())
        qFatal("cannot start %s", CLI_DEMO_PROGRAM);
    return process;
}

Finished CliProcessTest::finish(QProcess *process)
{
    Finished finished;
    if (!process->waitForFinished(kRunTimeoutMs)) {
        process->kill();
        process->waitForFinished();
    }
    finished.code = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    finished.out = process->readAllStandardOutput();
    finished.err = process->readAllStandardError();
    process->deleteLater();
    return finished;
}

Finished CliProcessTest::run(const QStringList &arguments, const QString &settings, const QString &state)
{
    return finish(start(arguments, settings, state));
}

void CliProcessTest::exitCodesAndStreams_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("kind");   // of the JSON error; empty on success

    QTest::newRow("list") << QStringList{"list"} << "" << 0 << "";
    QTest::newRow("info") << QStringList{"info"} << "" << 0 << "";
    QTest::newRow("set-mode to the mode it has") << QStringList{"set-mode", "auto"} << "" << 0 << "";
    QTest::newRow("help") << QStringList{"--help"} << "" << 0 << "";
    QTest::newRow("version") << QStringList{"--version"} << "" << 0 << "";
    QTest::newRow("usage error") << QStringList{"frobnicate"} << "" << 2 << "usage";
    QTest::newRow("no camera") << QStringList{"info"} << "absent" << 3 << "no-camera";
    QTest::newRow("several cameras") << QStringList{"info"} << "second" << 4 << "several-cameras";
    QTest::newRow("the demo does not upgrade its second camera")
        << QStringList{"--timeout", "1", "--device", "SIM0002", "upgrade", "IMAGE"} << "second" << 2 << "usage";
    QTest::newRow("node that does not open") << QStringList{"info"} << "locked" << 5 << "no-access";
    QTest::newRow("silent camera") << QStringList{"--timeout", "0.3", "info"} << "silent" << 6 << "device";
    QTest::newRow("upgrade") << QStringList{"upgrade", "IMAGE"} << "fast" << 0 << "";
    QTest::newRow("start refused") << QStringList{"upgrade", "IMAGE"} << "fast,refuse-start" << 6 << "device";
    QTest::newRow("writes fail") << QStringList{"upgrade", "IMAGE"} << "fast,write-fail" << 6 << "device";
    QTest::newRow("image refused") << QStringList{"upgrade", "BLANK"} << "" << 7 << "image-refused";
}

void CliProcessTest::exitCodesAndStreams()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, settings);
    QFETCH(int, code);
    QFETCH(QString, kind);
    arguments.replaceInStrings(QStringLiteral("IMAGE"), m_image);
    arguments.replaceInStrings(QStringLiteral("BLANK"), m_blank);

    // In human form: results on stdout, errors on stderr, nothing mixed.
    const Finished human = run(arguments, settings);
    QCOMPARE(human.code, code);
    if (code == 0) {
        QVERIFY(!human.out.isEmpty());
        QVERIFY2(human.err.isEmpty(), human.err.constData());
    } else {
        QVERIFY2(human.err.startsWith("kelvora-camera-cli: "), human.err.constData());
        QVERIFY(!human.out.contains("kelvora-camera-cli:"));
    }

    // Under --json: stdout holds JSON lines only; an error is one JSON
    // object on stderr with the same exit code.
    const Finished json = run(QStringList{"--json"} + arguments, settings);
    QCOMPARE(json.code, code);
    for (const QByteArray &line : json.out.split('\n')) {
        if (!line.isEmpty())
            QVERIFY2(QJsonDocument::fromJson(line).isObject(), line.constData());
    }
    if (code == 0) {
        QVERIFY(!json.out.isEmpty());
        QVERIFY(json.err.isEmpty());
        return;
    }
    const QList<QByteArray> errorLines = json.err.trimmed().split('\n');
    QCOMPARE(errorLines.size(), 1);
    const QJsonObject error = QJsonDocument::fromJson(errorLines.first()).object().value("error").toObject();
    QCOMPARE(error.value("exit_code").toInt(), code);
    QCOMPARE(error.value("kind").toString(), kind);
    QVERIFY(!error.value("message").toString().isEmpty());
    // No result document after a failure.
    QVERIFY(!json.out.contains("\"result\""));
}

void CliProcessTest::stateCarriesOverBetweenRuns()
{
    const QString state = m_dir.filePath(QStringLiteral("state-modes"));
    QCOMPARE(run({"set-mode", "gallery"}, QString(), state).code, 0);
    // A run with the camera unplugged leaves the kept camera as it was.
    QCOMPARE(run({"info"}, QStringLiteral("absent"), state).code, 3);
    const Finished info = run({"--json", "info"}, QString(), state);
    QCOMPARE(info.code, 0);
    QCOMPARE(QJsonDocument::fromJson(info.out).object().value("identity").toString(), QStringLiteral("camera"));
    QCOMPARE(QJsonDocument::fromJson(info.out).object().value("mode").toObject().value("value").toInt(), 8);
    const Finished again = run({"--json", "set-mode", "8"}, QString(), state);
    QCOMPARE(QJsonDocument::fromJson(again.out).object().value("changed").toBool(), false);

    // So does the second camera, in runs with it and without it.
    QCOMPARE(run({"--device", "SIM0002", "set-mode", "voice"}, QStringLiteral("second"), state).code, 0);
    QCOMPARE(run({"info"}, QString(), state).code, 0);
    const Finished second = run({"--json", "--device", "SIM0002", "info"}, QStringLiteral("second"), state);
    QCOMPARE(QJsonDocument::fromJson(second.out).object().value("mode").toObject().value("value").toInt(), 2);
}

void CliProcessTest::upgradeLinesWhenNotATerminal()
{
    const Finished result = run({"upgrade", m_image}, QStringLiteral("fast"));
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out.count("upload: "), 11);
    QCOMPARE(result.out.count("writing firmware, do not unplug: "), 11);
    QVERIFY(!result.out.contains('\r'));
    QVERIFY(result.out.trimmed().endsWith("Upgraded: V2.1.0 \xe2\x86\x92 V2.2.0"));
}

// The three ways to ask the tool to stop, each with its exit code and the
// words its message starts with.
void addStopSignalRows()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("word");
    QTest::newRow("Ctrl-C") << int(SIGINT) << 130 << "interrupted";
    QTest::newRow("SIGTERM (timeout, a service manager)") << int(SIGTERM) << 143 << "stopped by SIGTERM";
    QTest::newRow("SIGHUP (the SSH session dropped)") << int(SIGHUP) << 129 << "stopped by SIGHUP";
}

void CliProcessTest::interruptDuringUploadThenRecover_data()
{
    addStopSignalRows();
}

void CliProcessTest::interruptDuringUploadThenRecover()
{
    QFETCH(int, signal);
    QFETCH(int, code);
    QFETCH(QString, word);
    const QString state = m_dir.filePath(QStringLiteral("state-interrupted-%1").arg(signal));
    // 402 data reports at 3 ms each: the upload runs for about a second.
    QProcess *process = start({"upgrade", m_image}, QStringLiteral("fast,pace=3000"), state);
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += process->readAllStandardOutput()).contains("upload: 10 %"), kRunTimeoutMs);
    ::kill(pid_t(process->processId()), signal);
    const Finished stopped = finish(process);
    QCOMPARE(stopped.code, code);
    QVERIFY2(stopped.err.startsWith("kelvora-camera-cli: " + word.toUtf8() + " after "), stopped.err.constData());
    QVERIFY2(stopped.err.contains("left in upgrade mode"), stopped.err.constData());
    QVERIFY(stopped.err.contains("running the same command again starts the upload over"));
    QVERIFY(!(out + stopped.out).contains("upload: 100 %"));

    // The same command again: the camera is found in upgrade mode and takes the image.
    const Finished again = run({"--json", "upgrade", m_image}, QStringLiteral("fast"), state);
    QVERIFY2(again.code == 0, again.err.constData());
    const QJsonObject result = QJsonDocument::fromJson(again.out.trimmed().split('\n').last()).object();
    QCOMPARE(result.value("started_in").toString(), QStringLiteral("upgrade"));
    QCOMPARE(result.value("new_version").toString(), QStringLiteral("V2.2.0"));
}

void CliProcessTest::interruptWhileTheCameraWrites_data()
{
    addStopSignalRows();
}

void CliProcessTest::interruptWhileTheCameraWrites()
{
    QFETCH(int, signal);
    // The camera writes in 10 % steps 150 ms apart.
    QProcess *process = start({"upgrade", m_image}, QStringLiteral("fast,step=150"));
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += process->readAllStandardOutput()).contains("writing firmware, do not unplug: 10 %"),
                             kRunTimeoutMs);
    ::kill(pid_t(process->processId()), signal);
    const Finished finished = finish(process);
    QCOMPARE(finished.code, 0);
    QVERIFY2(finished.err.contains("writing its firmware: do not unplug it"), finished.err.constData());
    QVERIFY((out + finished.out).contains("Upgraded: V2.1.0"));
}

void CliProcessTest::secondInterruptEndsAtOnce_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("code");   // the second signal's
    QTest::addColumn<QString>("kind");
    QTest::newRow("Ctrl-C twice") << int(SIGINT) << int(SIGINT) << 130 << "interrupted";
    QTest::newRow("SIGHUP, then SIGTERM") << int(SIGHUP) << int(SIGTERM) << 143 << "terminated";
}

void CliProcessTest::secondInterruptEndsAtOnce()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, code);
    QFETCH(QString, kind);
    const QString state = m_dir.filePath(QStringLiteral("state-second-%1").arg(second));
    QProcess *process = start({"--json", "upgrade", m_image}, QStringLiteral("fast,step=400"), state);
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += process->readAllStandardOutput()).contains("\"device-progress\""), kRunTimeoutMs);
    ::kill(pid_t(process->processId()), first);
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += process->readAllStandardError()).contains("\"notice\""), kRunTimeoutMs);
    ::kill(pid_t(process->processId()), second);
    const Finished finished = finish(process);
    QCOMPARE(finished.code, code);
    err += finished.err;
    const QJsonObject error = QJsonDocument::fromJson(err.trimmed().split('\n').last()).object().value("error").toObject();
    QCOMPARE(error.value("exit_code").toInt(), code);
    QCOMPARE(error.value("kind").toString(), kind);
    QCOMPARE(error.value("reason").toString(), QStringLiteral("second-interrupt"));
    QVERIFY(error.value("message").toString().contains("still writing its firmware"));
    QVERIFY(!(out + finished.out).contains("\"result\""));
    // The camera was writing a good image: on the desk it finishes without
    // the tool and is kept as restarted with the new firmware.
    QFile kept(state);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("identity=camera\nmode=1\nversion=V2.2.0\n"));
}

void CliProcessTest::twoProgramsOnOneCamera_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QString>("firstSettings");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QString>("secondSettings");
    QTest::addColumn<Second>("how");
    QTest::addColumn<int>("firstCode");
    QTest::addColumn<int>("secondCode");

    // -v says on stderr when the camera is taken; 402 data reports at 3 ms
    // each keep an upgrade on it for about a second.
    const QStringList upgrade{"-v", "--json", "upgrade", "IMAGE"};
    const QStringList setMode{"--json", "set-mode", "full"};
    QTest::newRow("an upgrade holds it: set-mode is refused")
        << upgrade << "fast,pace=3000" << setMode << "" << Second::WhileFirstHolds << 0 << 8;
    QTest::newRow("set-mode holds it (a silent camera): an upgrade is refused")
        << QStringList{"-v", "--timeout", "1.5", "set-mode", "full"} << "silent" << QStringList{"--json", "upgrade", "IMAGE"}
        << "fast" << Second::WhileFirstHolds << 6 << 8;
    QTest::newRow("two upgrades started together: one of them")
        << upgrade << "fast,pace=3000" << upgrade << "fast,pace=3000" << Second::Together << -1 << -1;
    QTest::newRow("a holder killed with SIGKILL leaves nothing behind")
        << upgrade << "fast,pace=3000" << setMode << "" << Second::AfterFirstKilled << -1 << 0;
}

void CliProcessTest::twoProgramsOnOneCamera()
{
    QFETCH(QStringList, first);
    QFETCH(QString, firstSettings);
    QFETCH(QStringList, second);
    QFETCH(QString, secondSettings);
    QFETCH(Second, how);
    QFETCH(int, firstCode);
    QFETCH(int, secondCode);
    first.replaceInStrings(QStringLiteral("IMAGE"), m_image);
    second.replaceInStrings(QStringLiteral("IMAGE"), m_image);
    const QString state = m_dir.filePath(QStringLiteral("state-two-%1").arg(QTest::currentDataTag()).replace(' ', '-'));

    QProcess *holder = start(first, firstSettings, state);
    if (how == Second::Together) {
        QProcess *other = start(second, secondSettings, state);
        const qint64 pids[2] = {holder->processId(), other->processId()};
        const Finished ends[2] = {finish(holder), finish(other)};
        // Whichever came first proceeds; the other is refused, and told who.
        QVERIFY2((ends[0].code == 0) != (ends[1].code == 0), ends[0].err + ends[1].err);
        const int loser = ends[0].code == 0 ? 1 : 0;
        QCOMPARE(ends[loser].code, 8);
        const QJsonObject error =
            QJsonDocument::fromJson(ends[loser].err.trimmed().split('\n').last()).object().value("error").toObject();
        QCOMPARE(error.value("holder").toObject().value("pid").toInt(), int(pids[1 - loser]));
        return;
    }
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += holder->readAllStandardError()).contains("holding the lock"), kRunTimeoutMs);
    if (how == Second::AfterFirstKilled) {
        ::kill(pid_t(holder->processId()), SIGKILL);
        QCOMPARE(finish(holder).code, -1);
    }
    const Finished refused = run(second, secondSettings, state);
    QCOMPARE(refused.code, secondCode);
    if (how == Second::AfterFirstKilled)
        return;
    // Refused at once, while the first still works on the camera.
    QCOMPARE(holder->state(), QProcess::Running);
    const QJsonObject error = QJsonDocument::fromJson(refused.err.trimmed()).object().value("error").toObject();
    QCOMPARE(error.value("kind").toString(), QStringLiteral("in-use"));
    QCOMPARE(error.value("message").toString(),
             QStringLiteral("the camera is in use by kelvora-camera-cli-demo (pid %1)").arg(holder->processId()));
    QVERIFY(refused.out.isEmpty());
    QCOMPARE(finish(holder).code, firstCode);
}

QTEST_GUILESS_MAIN(CliProcessTest)
#include "tst_cli_process.moc"
