#include "MainWindow.h"

#include "ui_MainWindow.h"
#include "protocol/CameraLock.h"
#include "protocol/FramingModes.h"
#include "protocol/HidIo.h"
#include "link/HotPlugMonitor.h"
#include "ui/Accessibility.h"
#include "ui/StyleSheets.h"
#include "upgrade/SleepInhibitor.h"
#include "upgrade/UploadPacing.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QTimer>

#include <chrono>

namespace {
constexpr std::chrono::milliseconds kWatchInterval(1500);
constexpr std::chrono::milliseconds kLevelInterval(200);
// How long after the last hidraw node event the presence check runs, so
// that one look takes a burst of events. A device whose interfaces come
// further apart is waited for by the look itself.
constexpr std::chrono::milliseconds kHotPlugSettle(30);
// How long a device may list only some of its vendor interfaces before it
// is connected as it is (and the user told that it cannot be opened).
constexpr std::chrono::milliseconds kPartialDeviceWait(2000);
constexpr int kModeIconSize = 48;
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    buildWidgets();
    applyTheme();
    connectSlots();
    setUpModeButtons();
    hidePanels();
    createTimers();
    watchSystem();
}

void MainWindow::buildWidgets()
{
    ui = new Ui_MainWindow;
    ui->setupUi(this);
    // The device's name comes from the device: it is shown as it is, never
    // read as markup that could restyle the window or load a file.
    ui->deviceNameLabel->setTextFormat(Qt::PlainText);
    accessibility::describe(*ui);

    setWindowIcon(QIcon(QStringLiteral(":/icons/icons/app_icon.ico")));
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

void MainWindow::applyTheme()
{
    QApplication::setFont(QFont(QStringLiteral("Segoe UI"), 10));
    setStyleSheet(QString::fromUtf8(styles::kWindow));
    ui->DownloadProgress->setStyleSheet(QString::fromUtf8(styles::kUpgradeBar));
    ui->applyButton->setStyleSheet(QString::fromUtf8(styles::kActionButton));
    ui->exitButton->setStyleSheet(QString::fromUtf8(styles::kActionButton));
    // The small buttons take the width their text needs and no more: the
    // sheet sets only their least width, and a free width would stretch
    // LPF and REF across the meter row.
    for (QPushButton *button : {ui->lpfOn, ui->refOn, ui->Refresh}) {
        button->setStyleSheet(QString::fromUtf8(styles::kSmallButton));
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    ui->exitButton_2->setStyleSheet(QString::fromUtf8(styles::kFlatButton));
    ui->upgradeMode->setStyleSheet(QString::fromUtf8(styles::kFlatButton));

    QWidget *const labels[] = {ui->deviceNameLabel, ui->statusLabel, ui->Mode,
                               ui->label_2,         ui->label,       ui->DOWNLOAD};
    for (QWidget *widget : labels)
        widget->setStyleSheet(QString::fromUtf8(styles::kLabel));
    ui->SelectFilePath->setStyleSheet(QString::fromUtf8(styles::kField));
    ui->Version->setStyleSheet(QString::fromUtf8(styles::kField));
    QWidget *const meters[] = {ui->micRms1, ui->micRms2, ui->micRms3, ui->micRms4, ui->micRms5,
                               ui->micRms6, ui->micRms7, ui->micRms8, ui->refRms1, ui->refRms2};
    for (QWidget *widget : meters)
        widget->setStyleSheet(QString::fromUtf8(styles::kMeter));
    ui->doa1->setStyleSheet(QString::fromUtf8(styles::kDirectionBar));
    ui->doa2->setStyleSheet(QString::fromUtf8(styles::kDirectionBar));
}

void MainWindow::connectSlots()
{
    // The on_<name>_clicked slots are connected by name in setupUi.
    connect(ui->applyButton, &QAbstractButton::clicked, this, &MainWindow::onApplyClicked);
    connect(ui->exitButton, &QAbstractButton::clicked, this, &MainWindow::onExitClicked);
    connect(ui->btnFullScreen, &QAbstractButton::clicked, this, &MainWindow::onModeSelectedFull);
    connect(ui->btnAutoFraming, &QAbstractButton::clicked, this, &MainWindow::onModeSelectedAuto);
    connect(ui->btnVoiceTracking, &QAbstractButton::clicked, this, &MainWindow::onModeSelectedVoice);
    connect(ui->btnSmartGallery, &QAbstractButton::clicked, this, &MainWindow::onModeSelectedSmart);
}

void MainWindow::setUpModeButtons()
{
    static_assert(std::size(modes::kFramingModes) == std::tuple_size<decltype(m_modeButtons)>::value,
                  "one button for each framing mode");
    for (const modes::ModeInfo &info : modes::kFramingModes) {
        QPushButton *button = findChild<QPushButton *>(QLatin1String(info.buttonName));
        m_modeButtons.at(std::size_t(&info - modes::kFramingModes)) = button;
        button->setStyleSheet(QString::fromUtf8(styles::kModeButton));
        button->setIcon(QIcon(QString::fromLatin1(info.icon)));
        button->setIconSize(QSize(kModeIconSize, kModeIconSize));
    }
}

void MainWindow::hidePanels()
{
    // The "More Setting" button stays hidden for the life of the window.
    ui->exitButton_2->hide();
    setExtraSettingsVisible(false);
    setUpgradePanelVisible(false);
}

void MainWindow::createTimers()
{
    // The timers carry names so that tools driving the window can find them.
    m_watchTimer = new QTimer(this);
    m_watchTimer->setObjectName(QStringLiteral("watchTimer"));
    connect(m_watchTimer, &QTimer::timeout, this, &MainWindow::checkDevicePresence);
    m_watchTimer->start(kWatchInterval);

    m_levelTimer = new QTimer(this);
    m_levelTimer->setObjectName(QStringLiteral("levelTimer"));
    connect(m_levelTimer, &QTimer::timeout, this, &MainWindow::pollAudioLevels);
    m_levelTimer->start(kLevelInterval);

    m_uploadTimer = new QTimer(this);
    m_uploadTimer->setObjectName(QStringLiteral("uploadTimer"));
    m_uploadTimer->setInterval(pacing::kUploadTickInterval);
    connect(m_uploadTimer, &QTimer::timeout, this, &MainWindow::uploadTick);

    m_startAckTimer = new QTimer(this);
    m_startAckTimer->setObjectName(QStringLiteral("startAckTimer"));
    m_startAckTimer->setSingleShot(true);
    connect(m_startAckTimer, &QTimer::timeout, this, &MainWindow::onStartAckTimeout);

    m_devicePhaseTimer = new QTimer(this);
    m_devicePhaseTimer->setObjectName(QStringLiteral("devicePhaseTimer"));
    m_devicePhaseTimer->setSingleShot(true);
    connect(m_devicePhaseTimer, &QTimer::timeout, this, &MainWindow::onDevicePhaseSilent);
}

void MainWindow::watchSystem()
{
    m_sleepInhibitor = new SleepInhibitor(this);
    m_cameraLock = std::make_unique<cameralock::CameraLock>();

    m_hotPlugTimer = new QTimer(this);
    m_hotPlugTimer->setObjectName(QStringLiteral("hotPlugTimer"));
    m_hotPlugTimer->setSingleShot(true);
    m_hotPlugTimer->setInterval(kHotPlugSettle);
    connect(m_hotPlugTimer, &QTimer::timeout, this, &MainWindow::hotPlugSettled);
    m_partialDeviceTimer = new QTimer(this);
    m_partialDeviceTimer->setObjectName(QStringLiteral("partialDeviceTimer"));
    m_partialDeviceTimer->setSingleShot(true);
    m_partialDeviceTimer->setInterval(kPartialDeviceWait);
    connect(m_partialDeviceTimer, &QTimer::timeout, this, &MainWindow::partialDeviceWaitOver);
    m_hotPlug = new HotPlugMonitor(this);
    m_hotPlug->setObjectName(QStringLiteral("hotPlugMonitor"));
    connect(m_hotPlug, &HotPlugMonitor::nodeChanged, this, &MainWindow::hidrawNodeChanged);
}

MainWindow::~MainWindow()
{
    // hidapi must not be shut down under open handles, so every handle the
    // window still holds is closed first, each exactly once.
    closeAllHandles();
    hid_exit();
    delete ui;
}

void MainWindow::closeAllHandles()
{
    QVector<hid_device *> handles = m_openedDevices;
    handles << m_controlDevice << m_dataDevice << m_cameraProbe << m_updProbe;
    QVector<hid_device *> closed;
    for (hid_device *handle : handles) {
        if (handle && !closed.contains(handle)) {
            closed.append(handle);
            hidio::closeHandle(handle);
        }
    }
    m_openedDevices.clear();
    m_controlDevice = nullptr;
    m_dataDevice = nullptr;
    m_cameraProbe = nullptr;
    m_updProbe = nullptr;
}

void MainWindow::onExitClicked()
{
    close();
}

void MainWindow::scheduleHeightFit()
{
    QTimer::singleShot(0, this, &MainWindow::fitWindowHeight);
}

void MainWindow::fitWindowHeight()
{
    const int width = this->width();
    adjustSize();
    resize(width, height());
}
