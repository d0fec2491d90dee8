#pragma once

#include <QMainWindow>
#include <QString>
#include <QVector>

#include <hidapi/hidapi.h>

#include <array>
#include <memory>

class QByteArray;
class QFile;
class QPushButton;
class QTimer;
class AccessNotice;
class HotPlugMonitor;
class SleepInhibitor;
class Ui_MainWindow;
namespace cameralock { class CameraLock; struct Holder; }
namespace discovery { enum class Identity; struct Interface; }
namespace frame { struct Command; struct Payload; }
namespace imagecheck { enum class Refusal; }
namespace modes { enum class FramingMode : quint8; struct ModeInfo; }

// The tool's one window. It owns the widget tree, every hidapi handle, the
// timers and the upgrade bookkeeping. Its members are defined in the folder
// of the subsystem that owns them; each section below names its file. The
// window-free pieces they call (frames, discovery, the exchange's facts,
// device I/O, modes, image checks, the upload's arithmetic and its stream
// step, the camera's lock) live in src/protocol.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    // src/window/MainWindow.cpp
    void onExitClicked();
    // src/window/link/DeviceLink.cpp
    void on_Refresh_clicked();
    // src/window/camera/CameraControls.cpp
    void onApplyClicked();
    void onModeSelectedFull();
    void onModeSelectedAuto();
    void onModeSelectedVoice();
    void onModeSelectedSmart();
    void on_lpfOn_clicked();
    void on_ufuMode_clicked();
    void on_GetVersion_clicked();
    // src/window/camera/ExtraSettings.cpp
    void on_exitButton_2_clicked();
    // src/window/upgrade/ImageSelection.cpp
    void on_SelectFile_clicked();
    // src/window/upgrade/UpgradeExchange.cpp
    void on_StartUpd_clicked();
    // src/window/upgrade/UpgradePanel.cpp
    void on_upgradeMode_clicked();

private:
    // ---- src/window/MainWindow.cpp: construction, teardown, window height
    // The constructor's steps, in the order it runs them.
    void buildWidgets();
    void applyTheme();
    void connectSlots();
    void setUpModeButtons();
    void hidePanels();
    void createTimers();
    void watchSystem();
    void fitWindowHeight();
    void scheduleHeightFit();
    void closeAllHandles();

    // ---- src/window/link/DeviceLink.cpp: presence, interfaces, status, polling
    void checkDevicePresence();
    bool arrivedWhole(discovery::Identity identity);
    void partialDeviceWaitOver();
    bool linkWorthRetrying(discovery::Identity identity);
    void forgetDevice();
    void deviceNotFound();
    void hidrawNodeChanged(bool added, const QByteArray &node);
    void hotPlugSettled();
    void holdProbe(discovery::Identity identity, hid_device *probe);
    void showConnected(const QString &device, const char *sheet);
    void connectCamera(hid_device *probe);
    void connectUpgradeDevice(hid_device *probe);
    void openInterfaces(discovery::Identity identity);
    void closeInterfaces();
    void restartPollTimer();
    void setStatusLabels(const QString &sheet);
    void pollControlInterface();
    int sendRequest(const frame::Command &command, const quint8 *payload = nullptr, int length = 0);

    // ---- src/window/link/CameraInUse.cpp: one program at a time on the camera
    bool cameraHeldElsewhere();
    void showCameraInUse(const cameralock::Holder &holder);
    bool takeCameraLock();
    void releaseCameraLock();
    // ---- src/window/link/AccessWatch.cpp: the camera on the bus but out of reach
    void lookForCameraOutOfReach();
    void noteInterfacesOutOfReach(const QVector<discovery::Interface> &interfaces, const QVector<bool> &opened);
    void offerAccessNotice();
    void hideAccessNotice();

    // ---- src/window/camera/ReplyDispatcher.cpp: the frame checks and the handler table
    void dispatchReply(const QByteArray &report);

    // ---- src/window/camera/CameraControls.cpp: modes, name, version, commands, meters
    void selectMode(modes::FramingMode mode);
    QPushButton *modeButton(const modes::ModeInfo &info) const;
    void updateModeButtons(int mode);
    void updateModeLabel(int mode);
    void showUpgradeModeLabel();
    int sendCameraMode(int mode);
    void requestCameraMode();
    void handleSetModeAck();
    void handleGetModeAck(quint8 mode);
    void requestUvcName();
    void handleUvcName(const frame::Payload &payload);
    void handleVersion(const frame::Payload &payload);
    void pollAudioLevels();
    void requestAudioLevels();
    void handleAudioLevels(const frame::Payload &payload);

    // ---- src/window/camera/ExtraSettings.cpp: the panel behind the access code --
    bool checkAccessCode();
    void setExtraSettingsVisible(bool show);

    // ---- src/window/upgrade/ImageSelection.cpp: choosing the image, refusals ----
    bool showRefusal(imagecheck::Refusal refusal);
    bool validateUpgradeStart();

    // ---- src/window/upgrade/UpgradeExchange.cpp: announce, stream, device phase -
    void startUpgrade();
    void uploadTick();
    void finishUpload();
    void onStartAckTimeout();
    void abortUpload();
    void abortUnreadableImage();
    void releaseUploadFile();
    void handleUpgradeStartAck(quint8 status);
    void handleUploadCompleteAck(quint8 status);
    void handleUpgradeProgress(quint8 percent);
    void endDevicePhase();
    void onDevicePhaseSilent();
    bool stopUpgradeOnDeparture();
    void warnUpgradeInterrupted();

    // ---- src/window/upgrade/UpgradePanel.cpp: the panel, the bar, the lock ------
    void setUpgradePanelVisible(bool visible);
    void setProgressChunkColor(const QString &color);
    void setUpgradeBusy(bool busy);

    // Window shell.
    Ui_MainWindow *ui = nullptr;
    QTimer *m_watchTimer = nullptr;
    QTimer *m_levelTimer = nullptr;

    // Device link. Handles are owned here; closeAllHandles closes whatever
    // is left at teardown, each once.
    hid_device *m_cameraProbe = nullptr; // closed when the camera goes away, on a new connect of either identity and at teardown
    hid_device *m_updProbe = nullptr;    // closed when the upgrade device goes away, on a new connect and at teardown
    QVector<hid_device *> m_openedDevices; // the handles kept by the last opening pass; closed by closeInterfaces and at teardown
    hid_device *m_controlDevice = nullptr;  // closed by closeInterfaces (next connect, device gone) and at teardown
    hid_device *m_dataDevice = nullptr;     // closed by closeInterfaces (next connect, device gone) and at teardown
    QTimer *m_pollTimer = nullptr;
    // Hidraw nodes of the kept control and data interfaces, to tell our own
    // node going away from any other.
    QVector<QByteArray> m_interfaceNodes;
    HotPlugMonitor *m_hotPlug = nullptr;
    // Node events come in bursts (one per interface); the presence check
    // runs once the burst is over.
    QTimer *m_hotPlugTimer = nullptr;
    bool m_ownNodeRemoved = false;
    // A device that lists only some of its vendor interfaces is waited for
    // this long before it is connected as it is.
    QTimer *m_partialDeviceTimer = nullptr;
    bool m_partialWaitOver = false;
    // The last connect opened fewer than both interfaces (and showed the
    // box): the vendor nodes the device listed then.
    bool m_linkIncomplete = false;
    QVector<QByteArray> m_incompleteLinkNodes;
    bool m_linkBoxOpen = false;
    bool m_cameraConnected = false;
    bool m_updConnected = false;
    // The camera's lock, held from EnterUPD (or Start) to the end of the
    // upgrade; let go of by releaseCameraLock, at the latest when the
    // window is destroyed.
    std::unique_ptr<cameralock::CameraLock> m_cameraLock;
    // The status line says that another program holds the camera, and
    // nothing of the camera is open.
    bool m_cameraInUse = false;
    // Says that the camera is on the bus but may not be opened; made the
    // first time it is needed, given once per arrival of the camera.
    AccessNotice *m_accessNotice = nullptr;
    bool m_accessNoticeGiven = false;

    // Camera control.
    // The framing mode chosen or last reported, or kFailedApplyMode once an
    // apply failed and no valid mode is selected (never sent).
    static constexpr int kFailedApplyMode = 100;
    int m_currentMode = 0;
    // The button of each row of the framing-mode table, in its order; found
    // once by object name when the window is built.
    std::array<QPushButton *, 4> m_modeButtons{};
    bool m_extraSettingsVisible = false;

    // Firmware upgrade.
    QString m_upgradeFilePath;
    qint64 m_upgradeFileSize = 0;
    QFile *m_uploadFile = nullptr;
    qint64 m_uploadedBytes = 0;
    bool m_uploading = false;
    // The image has been sent and the completion frame written; the device
    // is expected to report its progress up to 100 %.
    bool m_devicePhase = false;
    // Reads of the image that failed in a row during the upload.
    int m_imageReadFailures = 0;
    QTimer *m_uploadTimer = nullptr;
    QTimer *m_startAckTimer = nullptr;
    // Runs while the device phase lasts; restarted by each progress report.
    QTimer *m_devicePhaseTimer = nullptr;
    quint8 m_uploadChecksum = 0;
    // Held while the upgrade controls are locked.
    SleepInhibitor *m_sleepInhibitor = nullptr;
    bool m_upgradePanelVisible = false;
    // The percentage last written to the bar during the current upload;
    // reset when an upload starts so that every upload shows its own.
    int m_lastUploadPercent = -1;
};
