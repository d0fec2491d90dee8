#pragma once

// Walks the window through an upgrade without a person: clicks its buttons
// by object name, answers its message boxes and its file dialog, and waits
// for what the window shows after each step. The demo uses it for its
// unattended self-test and to bring the window into a given state for a
// screenshot.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

class QWidget;

namespace demo {

class DemoCamera;

class WindowDriver : public QObject
{
public:
    // Where the walk stops.
    enum class Goal {
        Upgraded,       // the whole upgrade, up to the camera's return with the new version
        Connected,      // the camera found and its name, version and mode shown
        UpgradePanel,   // the upgrade panel open, the device in upgrade mode, the image chosen
        Uploading,      // the image part-way through the upload
    };

    // `finished` gets 0 once the goal is reached (with Upgraded, after the
    // result has been checked too) or 1 with a reason on failure.
    WindowDriver(QWidget *window, DemoCamera &camera, const QString &imagePath, Goal goal,
                 std::function<void(int code, const QString &message)> finished);

    void start();

private:
    struct Step
    {
        QString name;
        std::function<void()> action;   // run once when the step begins
        std::function<bool()> done;     // polled until true
    };

    void buildSteps();
    void advance();
    void answerModal();
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
    int m_current = -1;
    qint64 m_stepDeadline = 0;
    bool m_over = false;

    QStringList m_expectedBoxes;   // texts of the boxes the walk expects
    QStringList m_seenBoxes;       // texts of every box answered
    bool m_fileAnswered = false;

    QTimer m_stepTimer;
    // Boxes and dialogs open nested event loops, inside which the step timer
    // may be held; this one keeps answering them.
    QTimer m_modalTimer;
};

} // namespace demo
