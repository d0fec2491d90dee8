#pragma once

// Reaching the window's widgets the way a user sees them: by the object names
// the form gives them, never through the window's private members.

#include <QObject>
#include <QString>

class QTimer;

namespace driver {

template <class T>
T *find(const QObject *root, const char *name)
{
    return root ? root->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

// The text of the label or line edit of that name; empty when there is none.
QString textOf(const QObject *root, const char *name);

// Clicks the button of that name at once, hidden or not. False when there is
// no such button.
bool click(const QObject *root, const char *name);

// Clicks it from the event loop instead, once the caller has returned: a box
// the click opens then runs its own event loop outside the caller's code.
bool clickLater(const QObject *root, const char *name);

// The running timer of that name among the window's own (its direct
// children). A connect replaces the poll timer and lets the old one go later,
// so a stopped timer may carry the same name for a while.
QTimer *runningTimer(const QObject *root, const char *name);

} // namespace driver
