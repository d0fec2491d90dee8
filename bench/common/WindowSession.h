#pragma once

// The real window on the virtual camera, connected, for a benchmark: the
// driver library's session with the device's progress cut short and every
// fault ending the run with the benchmarks' own failure line.

#include "CameraWindow.h"

#include <QString>

namespace bench {

class WindowSession : public driver::CameraWindow
{
public:
    // `readWaits`: whether hid_read_timeout sleeps up to its time-out when
    // nothing is queued, as the real library does. The camera is attached in
    // this identity and the window connected to it.
    WindowSession(bool readWaits, sim::Identity identity);

    // Opens the upgrade panel and chooses this image through the file dialog.
    void prepareUpgrade(const QString &imagePath);
    // Start is enabled again: no upgrade holds the controls.
    bool controlsFree() const;

protected:
    void fault(const QString &why) const override;
};

} // namespace bench
