#include "Accessibility.h"

#include "AccessNotice.h"
#include "ui_MainWindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QVariant>

namespace accessibility {

namespace {

// Which of the interfaces below a widget gets; set as a property on it.
const char kKindProperty[] = "cameraConfigAccessibleKind";
enum class Kind { Status = 1, ModeChoice = 2, Notice = 3 };

QString translated(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// An interface named by the widget's visible text, unless an accessible
// name was set.
class NamedByText : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return visibleText();
        return QAccessibleWidget::text(kind);
    }

protected:
    virtual QString visibleText() const = 0;
};

// A label that tells the state of the connection, read as a status line
// whose name is the label's text; it announces each change of that text.
class StatusLine : public NamedByText
{
public:
    explicit StatusLine(QLabel *label)
        : NamedByText(label, QAccessible::StatusBar)
    {
    }

protected:
    QString visibleText() const override { return static_cast<const QLabel *>(widget())->text(); }
};

// A framing-mode button: one choice of four, checked when selected. Its
// actions click it as the mouse does. Qt's own interface for a checkable
// button would only flip the check mark, without the click that selects
// the mode in the window.
class ModeChoice : public NamedByText
{
public:
    explicit ModeChoice(QAbstractButton *button)
        : NamedByText(button, QAccessible::RadioButton)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled())
            names << pressAction() << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction() || action == toggleAction()) {
            if (widget()->isEnabled())
                button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

protected:
    QString visibleText() const override { return button()->text(); }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

QAccessibleInterface *windowPartFactory(const QString &className, QObject *object)
{
    const int kind = object->property(kKindProperty).toInt();
    // Screen readers speak a notification as it appears: its name, then
    // its description.
    if (className == QLatin1String("AccessNotice") && kind == int(Kind::Notice))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    if (className != QLatin1String("QLabel") && className != QLatin1String("QPushButton"))
        return nullptr;
    if (kind == int(Kind::Status))
        return new StatusLine(static_cast<QLabel *>(object));
    if (kind == int(Kind::ModeChoice))
        return new ModeChoice(static_cast<QAbstractButton *>(object));
    return nullptr;
}

void giveKind(QWidget *widget, Kind kind)
{
    static const bool installed = [] {
        QAccessible::installFactory(windowPartFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(kKindProperty, int(kind));
    // Setting a text in setupUi has already made the widget's interface
    // (Qt announces the text); that one is dropped, so the next request
    // gets the one for this kind.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void describeModeButton(QAbstractButton *button)
{
    const auto describeState = [button](bool checked) {
        button->setAccessibleDescription(
            checked ? translated(QT_TRANSLATE_NOOP("MainWindow", "Selected framing mode. Apply sends it to the camera."))
                    : translated(QT_TRANSLATE_NOOP("MainWindow", "Framing mode, not selected.")));
    };
    describeState(button->isChecked());
    QObject::connect(button, &QAbstractButton::toggled, button, describeState);
}

} // namespace

void describe(Ui_MainWindow &ui)
{
    for (QLabel *label : {ui.deviceNameLabel, ui.statusLabel, ui.Mode})
        giveKind(label, Kind::Status);
    for (QAbstractButton *button : {ui.btnFullScreen, ui.btnAutoFraming, ui.btnVoiceTracking, ui.btnSmartGallery}) {
        giveKind(button, Kind::ModeChoice);
        describeModeButton(button);
    }

    // The labels beside the fields name them; the progress bar's name is
    // then its phase ("DOWNLOAD:", "UPGRADE:").
    ui.label_2->setBuddy(ui.SelectFilePath);
    ui.label->setBuddy(ui.Version);
    ui.DOWNLOAD->setBuddy(ui.DownloadProgress);
    ui.SelectFilePath->setAccessibleName(translated(QT_TRANSLATE_NOOP("MainWindow", "Firmware image file")));
    ui.Version->setAccessibleName(translated(QT_TRANSLATE_NOOP("MainWindow", "Firmware version")));
    ui.Version->setAccessibleDescription(
        translated(QT_TRANSLATE_NOOP("MainWindow", "The firmware version the camera reports.")));
    ui.DownloadProgress->setAccessibleDescription(
        translated(QT_TRANSLATE_NOOP("MainWindow", "The share of the firmware image sent to the device, "
                                                   "then the device's own progress in installing it.")));

    QProgressBar *const microphones[] = {ui.micRms1, ui.micRms2, ui.micRms3, ui.micRms4,
                                         ui.micRms5, ui.micRms6, ui.micRms7, ui.micRms8};
    for (int i = 0; i < 8; ++i) {
        //: The level meter of one of the camera's eight microphones; %1 is its number.
        microphones[i]->setAccessibleName(QCoreApplication::translate("MainWindow", "Microphone %1 level").arg(i + 1));
    }
    QProgressBar *const references[] = {ui.refRms1, ui.refRms2};
    for (int i = 0; i < 2; ++i) {
        //: The level meter of one of the two reference channels; %1 is its number.
        references[i]->setAccessibleName(QCoreApplication::translate("MainWindow", "Reference %1 level").arg(i + 1));
    }
    QProgressBar *const directions[] = {ui.doa1, ui.doa2};
    for (int i = 0; i < 2; ++i) {
        //: A bar showing from which direction, in degrees, sound reaches the camera; %1 is its number.
        directions[i]->setAccessibleName(QCoreApplication::translate("MainWindow", "Sound direction %1").arg(i + 1));
    }

    // Buttons are named by their texts; these say what the terse ones do.
    const struct {
        QWidget *widget;
        const char *description;
    } descriptions[] = {
        {ui.Refresh, QT_TRANSLATE_NOOP("MainWindow", "Looks for the camera now.")},
        {ui.lpfOn, QT_TRANSLATE_NOOP("MainWindow", "Switches the camera's low-pass filter.")},
        {ui.refOn, QT_TRANSLATE_NOOP("MainWindow", "Reference channel. This button has no effect.")},
        {ui.GetVersion, QT_TRANSLATE_NOOP("MainWindow", "Asks the camera for its firmware version.")},
        {ui.SelectFile, QT_TRANSLATE_NOOP("MainWindow", "Chooses the firmware image, a .bin file.")},
        {ui.ufuMode, QT_TRANSLATE_NOOP("MainWindow", "Sends the camera into its firmware upgrade mode.")},
        {ui.StartUpd, QT_TRANSLATE_NOOP("MainWindow", "Uploads the chosen firmware image to the device in upgrade mode.")},
        {ui.exitButton_2, QT_TRANSLATE_NOOP("MainWindow", "Asks for the access code, then shows or hides the extra settings.")},
        {ui.upgradeMode, QT_TRANSLATE_NOOP("MainWindow", "Shows or hides the firmware upgrade controls.")},
        {ui.applyButton, QT_TRANSLATE_NOOP("MainWindow", "Sends the selected framing mode to the camera.")},
        {ui.exitButton, QT_TRANSLATE_NOOP("MainWindow", "Closes the program.")},
    };
    for (const auto &entry : descriptions)
        entry.widget->setAccessibleDescription(translated(entry.description));

    // Top to bottom, left to right, as the window reads. Left alone, Qt
    // would visit REF before LPF, which sits above it.
    QWidget *const order[] = {
        ui.Refresh,
        ui.btnFullScreen, ui.btnAutoFraming, ui.btnVoiceTracking, ui.btnSmartGallery,
        ui.lpfOn, ui.refOn,
        ui.SelectFilePath, ui.SelectFile,
        ui.Version, ui.GetVersion, ui.ufuMode,
        ui.StartUpd,
        ui.exitButton_2, ui.upgradeMode,
        ui.applyButton, ui.exitButton,
    };
    for (size_t i = 1; i < sizeof(order) / sizeof(order[0]); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void describeNotice(Ui_MainWindow &ui, AccessNotice *notice)
{
    giveKind(notice, Kind::Notice);
    // Where it sits: under the status lines, before the mode buttons.
    QWidget *before = ui.Refresh;
    for (QWidget *control : notice->controls()) {
        QWidget::setTabOrder(before, control);
        before = control;
    }
}

} // namespace accessibility
