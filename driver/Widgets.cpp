#include "Widgets.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QTimer>

namespace driver {

QString textOf(const QObject *root, const char *name)
{
    if (auto *label = find<QLabel>(root, name))
        return label->text();
    if (auto *edit = find<QLineEdit>(root, name))
        return edit->text();
    return QString();
}

bool click(const QObject *root, const char *name)
{
    auto *button = find<QAbstractButton>(root, name);
    if (!button)
        return false;
    button->click();
    return true;
}

bool clickLater(const QObject *root, const char *name)
{
    auto *button = find<QAbstractButton>(root, name);
    if (!button)
        return false;
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    return true;
}

QTimer *runningTimer(const QObject *root, const char *name)
{
    if (!root)
        return nullptr;
    const auto timers = root->findChildren<QTimer *>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    for (QTimer *timer : timers) {
        if (timer->isActive())
            return timer;
    }
    return nullptr;
}

} // namespace driver
