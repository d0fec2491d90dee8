#pragma once

// Every write to the camera and every handle closed goes through here, for
// the window and the command-line tool alike.

#include "protocol/CommandFrame.h"

#include <hidapi/hidapi.h>

#include <chrono>

namespace hidio {

// Tries per data report before it is given up.
constexpr int kWriteAttempts = 3;
// Pause after each failed try.
constexpr std::chrono::milliseconds kRetryPause(5);

// Closes the handle, if any, and forgets it.
void closeHandle(hid_device *&handle);

// Writes one request to the control interface. Returns hid_write's result,
// or -1 without writing when the interface is not open.
int sendRequest(hid_device *control, frame::Command command, const quint8 *payload = nullptr, int length = 0);
// The same for a request already built (for a caller that also logs it).
int writeRequest(hid_device *control, const frame::CommandBuffer &request);

// Writes one data report to the data interface, tried up to kWriteAttempts
// times with kRetryPause after every failed try, each failure logged.
// Returns true once hid_write took the whole report; false after the last
// try failed (logged as well), or at once when the interface is not open.
bool sendDataReport(hid_device *data, const frame::DataReportBuffer &report);

} // namespace hidio
