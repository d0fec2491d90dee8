#pragma once

// What every program that shows the window does before and right after it
// creates its application object.

namespace startup {

// Settings Qt reads only while the application object is being made:
// scaling on high-DPI screens. Call before constructing QApplication.
void prepareApplication();

} // namespace startup
