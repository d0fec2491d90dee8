#pragma once

// A fresh window on a fresh virtual camera for one test function, with the
// modal watcher and the log capture in place.

#include "Bytes.h"
#include "CameraWindow.h"
#include "LogCapture.h"

#include <QByteArray>
#include <QPair>
#include <QVector>

using driver::ModalRecord;

// Holds the log capture as a base, so that it is in place before the window
// is built (what the window logs then is captured too) and outlives it.
struct CapturedLog
{
    LogCapture log;
};

class WindowHarness : public CapturedLog, public driver::CameraWindow
{
public:
    // Control-interface requests written since the last clearRecords(), as
    // (group, code) pairs.
    QVector<QPair<int, int>> requests() const;
};


// Builds a well-formed reply the way the camera would send it.
QByteArray cameraReply(quint8 group, quint8 code, const QByteArray &payload, int size = 64);
