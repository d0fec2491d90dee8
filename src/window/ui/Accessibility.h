#pragma once

// What assistive technology (a screen reader, a switch device) finds in the
// window: a name for every control, a description where the visible text is
// too terse, the status labels read as status, the framing-mode buttons as
// one choice of four, and a tab order that follows the window from top to
// bottom. None of it changes a visible text or what a click does.

class AccessNotice;
class Ui_MainWindow;

namespace accessibility {

// Called once the widget tree is built and the translator installed.
void describe(Ui_MainWindow &ui);
// The notice that the camera cannot be opened, once it is made: read as a
// notification when it appears, its controls right after Refresh.
void describeNotice(Ui_MainWindow &ui, AccessNotice *notice);

} // namespace accessibility
