#pragma once

// Walks the window through an upgrade without a person, step by step: each
// step clicks a button and then waits for what the window shows after it,
// while the window's boxes and its file dialog are answered and judged.
// The demo uses it for its unattended self-test and to bring the window
// into a given state for a screenshot.

#include "ModalWatcher.h"
#include "Waiting.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QWidget;

namespace demo {

class DemoCamera;

class StateWalk : public QObject
{
public:
    // Where the walk stops.
    enum class Goal {
        Upgraded,       // the whole upgrade, up to the camera's return with the new version
        Connected,      // the camera found and its name, version and mode shown
        UpgradePanel,   // the upgrade panel open, the device in upgrade mode, the image chosen
        Uploading,      // the image part-way through the upload
        NoAccess,       // the camera on the bus, this user kept out of it, and the window's notice shown
    };

    // `finished` gets 0 once the goal is reached (with Upgraded, after the
    // result has been checked too) or 1 with a reason on failure.
    StateWalk(QWidget *window, DemoCamera &camera, const QString &imagePath, Goal goal,
              std::function<void(int code, const QString &message)> finished);

    void start();

private:
    struct Step
    {
        QString name;
        std::function<void()> action;   // run once when the step begins
        std::function<bool()> done;     // watched until true
    };

    void buildSteps();
    void begin(int index);
    void stepEnded(int index, bool met);
    void judgeBox(int index);
    void judgeDialog(int index);
    void finish(int code, const QString &message);
    bool checkUpload(QString *problem) const;

    QString text(const char *objectName) const;
    int progress() const;
    void click(const char *objectName);
    bool cameraShown(const QString &version) const;

    QPointer<QWidget> m_window;
    DemoCamera &m_camera;
    QString m_imagePath;
    QByteArray m_image;
    Goal m_goal;
    std::function<void(int, const QString &)> m_finished;

    QVector<Step> m_steps;
    bool m_over = false;
    QStringList m_expectedBoxes;   // texts of the boxes the walk expects

    driver::Waiter m_waiter;
    // Boxes and dialogs open nested event loops; the watcher answers them
    // from inside, and goes on doing so once the walk is over (a screenshot
    // state leaves the window running), so nothing waits on them.
    driver::ModalWatcher m_modals;
};

} // namespace demo
