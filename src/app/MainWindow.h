#pragma once

#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QVector>

#include <hidapi/hidapi.h>

class QByteArray;
class QFile;
class QTimer;
class Ui_MainWindow;
namespace frame { struct Command; }

// The tool's one window. It owns the widget tree, every hidapi handle, the
// timers and the upgrade bookkeeping; the member functions are defined in the
// folder of the subsystem that owns them (device, camera, upgrade).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    // Wired by the constructor.
    void onApplyClicked();
    void onExitClicked();
    void onModeSelectedFull();
    void onModeSelectedAuto();
    void onModeSelectedVoice();
    void onModeSelectedSmart();
    // Wired by name from setupUi.
    void on_exitButton_2_clicked();
    void on_lpfOn_clicked();
    void on_ufuMode_clicked();
    void on_SelectFile_clicked();
    void on_GetVersion_clicked();
    void on_Refresh_clicked();
    void on_StartUpd_clicked();
    void on_upgradeMode_clicked();

private:
    enum class Personality { Camera, Upgrade };

    // Window shell.
    void fitWindowHeight();
    void scheduleHeightFit();
    void closeAllHandles();

    // Device link.
    void checkDevicePresence();
    void deviceNotFound();
    void closeHandle(hid_device *&handle);
    void connectCamera(hid_device *probe);
    void connectUpgradeDevice(hid_device *probe);
    void openInterfaces(Personality personality);
    void closeInterfaces();
    void restartPollTimer();
    void setStatusLabels(const QString &sheet);
    void pollControlInterface();
    int sendRequest(const frame::Command &command, const quint8 *payload = nullptr, int length = 0);

    // Camera control.
    void dispatchReply(const QByteArray &report);
    void updateModeButtons(int mode);
    void updateModeLabel(int mode);
    void selectMode(int mode);
    int sendCameraMode(int mode);
    void requestCameraMode();
    void handleSetModeAck();
    void handleGetModeAck(quint8 mode);
    void requestUvcName();
    void handleUvcName(const QByteArray &report);
    void handleVersion(const QByteArray &report);
    void pollAudioLevels();
    void requestAudioLevels();
    void handleAudioLevels(const QByteArray &report);
    bool checkAccessCode();
    void setExtraSettingsVisible(bool show);

    // Firmware upgrade.
    bool validateUpgradeStart();
    bool refuseImageSize(qint64 size);
    void startUpgrade();
    void uploadTick();
    void finishUpload();
    void onStartAckTimeout();
    void abortUpload();
    void abortUnreadableImage();
    bool stopUpgradeOnDeparture();
    void warnUpgradeInterrupted();
    void releaseUploadFile();
    void handleUpgradeStartAck(quint8 status);
    void handleUploadCompleteAck(quint8 status);
    void handleUpgradeProgress(quint8 percent);
    void setUpgradePanelVisible(bool visible);
    void setProgressChunkColor(const QString &color);
    void setUpgradeBusy(bool busy);

    QMap<int, QString> m_modeNames;
    hid_device *m_cameraProbe = nullptr; // closed when the camera goes away, on a new camera connect and at teardown
    Ui_MainWindow *ui = nullptr;
    int m_currentMode = 0;
    QTimer *m_watchTimer = nullptr;
    QTimer *m_levelTimer = nullptr;
    bool m_cameraConnected = false;
    bool m_extraSettingsVisible = false;
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
    quint8 m_uploadChecksum = 0;
    int m_uploadChunkSize = 510;
    int m_reportsPerTick = 2000;
    QVector<hid_device *> m_openedDevices; // the handles kept by the last opening pass; closed by closeInterfaces and at teardown
    hid_device *m_controlDevice = nullptr;  // closed by closeInterfaces (next connect) and at teardown
    hid_device *m_dataDevice = nullptr;     // closed by closeInterfaces (next connect) and at teardown
    QTimer *m_pollTimer = nullptr;
    hid_device *m_updProbe = nullptr;    // closed when the upgrade device goes away, on a new connect and at teardown
    bool m_upgradePanelVisible = false;
    bool m_updConnected = false;
    // The percentage last written to the bar during the current upload;
    // reset when an upload starts so that every upload shows its own.
    int m_lastUploadPercent = -1;
};
