#pragma once

// Every style sheet of the window, and every colour it uses, in one place.
// The constructor applies them; the upgrade bar and the status labels are
// swapped at run time. The Chinese comments are part of the sheet texts and
// are kept as they are. The texts are UTF-8.

namespace styles {

// Dark window background.
inline const char *const kWindow =
    "QMainWindow {"
    " background-color: #121212;"
    " }";

// The four large framing-mode buttons; the checked one turns teal.
inline const char *const kModeButton =
    "QPushButton {"
    " background-color: #2B2B2B;"
    " border: 2px solid #444;"
    " border-radius: 8px;"
    " color: white;"
    " font-size: 14pt;"
    " padding: 16px;"
    " }"
    " QPushButton:checked {"
    " background-color: #00BBCC;"
    " color: black;"
    " border: 2px solid #00BBCC;"
    " }";

// The hover, pressed and disabled faces shared by the teal buttons. A
// disabled one (during an upgrade) is greyed out, so that it does not look
// pressable while it is not.
#define CAMERA_CONFIG_TEAL_BUTTON_STATES \
    " QPushButton:hover {" \
    " background-color: #00B8A0;" \
    " }" \
    " QPushButton:pressed {" \
    " background-color: #009E88;" \
    " }" \
    " QPushButton:disabled {" \
    " background-color: #3A4745;" \
    " color: #8C9694;" \
    " }"

// Apply and EXIT.
inline const char *const kActionButton =
    "QPushButton {"
    " background-color: #00D1B2;"
    " color: black;"
    " font-weight: bold;"
    " padding: 10px;"
    " border-radius: 10px;"
    " border: none;"
    " }" CAMERA_CONFIG_TEAL_BUTTON_STATES;

// LPF, REF and Refresh: 10 pixels of content high and 60 wide, wider only
// for a text that needs more room (a translation, or a wide font), which a
// fixed width would cut off. The window keeps them from growing further.
inline const char *const kSmallButton =
    "QPushButton {"
    " background-color: #00D1B2;"
    " color: black;"
    " font-weight: bold;"
    " padding: 6px;"
    " border-radius: 10px;"
    " border: none;"
    " min-height: 10px;"
    " max-height: 10px;"
    " min-width: 60px;"
    " }" CAMERA_CONFIG_TEAL_BUTTON_STATES;

// The buttons of the notice that the camera cannot be opened: as small as
// LPF and REF, but as tall as their text needs.
inline const char *const kNoticeButton =
    "QPushButton {"
    " background-color: #00D1B2;"
    " color: black;"
    " font-weight: bold;"
    " padding: 4px 12px;"
    " border-radius: 10px;"
    " border: none;"
    " }" CAMERA_CONFIG_TEAL_BUTTON_STATES;

#undef CAMERA_CONFIG_TEAL_BUTTON_STATES

// "More Setting" and "Upgrade Mode": no face until hovered.
inline const char *const kFlatButton =
    "QPushButton {"
    " background-color: transparent; /* 透明背景 */"
    " color: #555555;"
    " font-weight: bold;"
    " border-radius: 8px;"
    " padding: 0px 8px; /* 上下0px，左右8px */"
    " min-height: 22px; /* 设置最小高度 */"
    " border: none; /* 无边框 */"
    " }"
    " QPushButton:hover {"
    " background-color: rgba(0,0,0,0.05); /* 轻微悬停效果 */"
    " }"
    " QPushButton:pressed {"
    " background-color: rgba(0,0,0,0.1); /* 按下的透明黑色 */"
    " color: #222222;"
    " }";

// The upgrade bar's fixed rule: grey groove, fixed height.
#define CAMERA_CONFIG_UPGRADE_BAR_RULE \
    "QProgressBar {  border: 1px solid grey;  border-radius: 5px;  background-color: #D0D0D0;  text-align: center;  min-height:18px;  max-height:18px;}"

// The upgrade bar as the constructor leaves it: grey groove, teal chunk.
inline const char *const kUpgradeBar =
    CAMERA_CONFIG_UPGRADE_BAR_RULE
    "QProgressBar::chunk {  background-color: #05B8CC;  border-radius: 5px;}";

// Teal bold text of the status block and the upgrade-panel labels.
inline const char *const kLabel = "color: #00D1B2; font-weight: bold;";

// The file-path and version fields.
inline const char *const kField = "border-radius: 5px;";

// Vertical microphone and reference level meters, 15 pixels wide. The
// gradient spans twice the chunk height, so only its first half shows.
inline const char *const kMeter =
    "QProgressBar {"
    " border: 2px solid grey;"
    " border-radius: 5px;"
    " background-color: #FFFFFF;"
    " text-align: center;"
    " /* 设置进度条的宽度 */"
    " min-width:15px;"
    " max-width: 15px;"
    " }"
    " QProgressBar::chunk::vertical {"
    " background:QLinearGradient(x1:0,y1:0,x2:0,y2:2,stop:0  #666699,stop:1  #DB7093);"
    " }";

// Horizontal sound-direction bars, 200 by 18 pixels.
inline const char *const kDirectionBar =
    "/* 基础蓝色进度条 */"
    " QProgressBar {"
    " border: 1px solid grey;"
    " border-radius: 5px;"
    " background-color: #D0D0D0; /* 背景色 */"
    " text-align: center;"
    " min-height:18px;"
    " max-height:18px;"
    " /* 设置进度条的宽度 */"
    " min-width: 200px;"
    " max-width: 200px;"
    " }"
    " QProgressBar::chunk {"
    " background-color: #05B8CC; /* 进度条颜色 */"
    " border-radius: 5px;"
    " }";

// The notice that the camera cannot be opened: a dark amber frame with
// light text, its heading in the upgrade orange, the commands in a darker
// box.
inline const char *const kAccessNotice =
    "QFrame#accessNotice {"
    " background-color: #2A2418;"
    " border: 1px solid #FF8C00;"
    " border-radius: 8px;"
    " }"
    " QLabel {"
    " color: #F2F2F2;"
    " }"
    " QLabel#accessNoticeTitle {"
    " color: #FF8C00;"
    " font-weight: bold;"
    " }"
    " QTextEdit {"
    " background-color: #161616;"
    " color: #F2F2F2;"
    " border: 1px solid #555555;"
    " border-radius: 4px;"
    " }";

// Status-block colours by connection state: camera in normal mode, device
// in upgrade mode, nothing found.
inline const char *const kStatusCamera = "color: #00D1B2; font-weight: bold;";
inline const char *const kStatusUpgrade = "color: #FF8C00; font-weight: bold;";
inline const char *const kStatusNotFound = "color: red; font-weight: bold;";

// Recolouring the upgrade bar: the fixed bar rule followed directly by the
// chunk rule with the colour filled in through QString::arg.
inline const char *const kProgressBarRule = CAMERA_CONFIG_UPGRADE_BAR_RULE;
inline const char *const kProgressChunkTemplate =
    "QProgressBar::chunk { background-color: %1; border-radius: 5px; }";

#undef CAMERA_CONFIG_UPGRADE_BAR_RULE

// Chunk colours of the upgrade bar: green for the device's own progress
// (and a freshly opened panel), blue while the image is being sent.
inline const char *const kDeviceChunkColor = "#00aa33";
inline const char *const kUploadChunkColor = "#3498db";

} // namespace styles
