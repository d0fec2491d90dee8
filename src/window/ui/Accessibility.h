#pragma once

// What assistive technology (a screen reader, a switch device) finds in the
// window: a name for every control, a description where the visible text is
// too terse, the status labels read as status, the framing-mode buttons as
// one choice of four, and a tab order that follows the window from top to
// bottom. None of it changes a visible text or what a click does.

class Ui_MainWindow;

namespace accessibility {

// Called once the widget tree is built and the translator installed.
void describe(Ui_MainWindow &ui);

} // namespace accessibility
