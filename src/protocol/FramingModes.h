#pragma once

// The camera's four framing modes, named once: the value each has on the
// wire, the window's button and icon for it, the name the Mode label shows
// and the word the command line takes. The names are marked for translation
// in the window's context (the buttons carry the same texts); the command
// line prints them as they are.

#include <QtGlobal>

namespace modes {

enum class FramingMode : quint8 {
    FullScreen = 0,
    AutoFraming = 1,
    VoiceTracking = 2,
    SmartGallery = 8,
};

struct ModeInfo
{
    FramingMode mode;
    const char *buttonName;  // object name of the window's button
    const char *icon;        // resource path of the button's icon
    const char *label;       // the name the Mode label shows, in English
    const char *keyword;     // the command line's word for it
};

inline constexpr ModeInfo kFramingModes[] = {
    {FramingMode::FullScreen, "btnFullScreen", ":/icons/icons/fullscreen.svg", QT_TRANSLATE_NOOP("MainWindow", "FullScreen"), "full"},
    {FramingMode::AutoFraming, "btnAutoFraming", ":/icons/icons/frame.svg", QT_TRANSLATE_NOOP("MainWindow", "AutoFraming"), "auto"},
    {FramingMode::VoiceTracking, "btnVoiceTracking", ":/icons/icons/voice.svg", QT_TRANSLATE_NOOP("MainWindow", "VoiceTracking"), "voice"},
    {FramingMode::SmartGallery, "btnSmartGallery", ":/icons/icons/smart.svg", QT_TRANSLATE_NOOP("MainWindow", "SmartGallery(1080P only)"), "gallery"},
};

// The row for a value, or null when the value is not a framing mode.
constexpr const ModeInfo *modeInfo(int value)
{
    for (const ModeInfo &info : kFramingModes) {
        if (int(info.mode) == value)
            return &info;
    }
    return nullptr;
}

constexpr bool isFramingMode(int value)
{
    return modeInfo(value) != nullptr;
}

} // namespace modes
