#pragma once

// Toolkit work that runs none of the window's own code but cost more than
// everything else in an input: laying out and styling message boxes, and
// parsing style sheets. On ordinary inputs both are stood in for here; on the
// inputs that are painted (see fuzz_window.cpp) the real ones run, so the
// window is drawn exactly as a user would see it.
//
// - A message box becomes a bare event loop with no widget. What matters to
//   the window is kept: the box runs an event loop of its own, inside which
//   timers fire and replies are handled, and the operations an input holds
//   for a box run inside it, as they do for a real one.
// - A style sheet is kept as a property of its widget and applied for real
//   when the window is next painted.
//
// Linked into the window harness, these take the place of the toolkit's own
// functions of the same names; QThread::msleep is made empty as well.

#include <functional>

class QWidget;

namespace toolkit {

// Whether the real message boxes and style sheets run: on for a painted
// input, off otherwise (the default).
void useReal(bool real);
// Runs inside every bare box before it closes.
void onBareBox(std::function<void()> opened);
// Applies every sheet the window has been given, for a painted input.
void applyStyleSheets(QWidget *window);

} // namespace toolkit
