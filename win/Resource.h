#pragma once

// Resource ids of Tsumugiya.exe; the templates themselves are generated from
// res/dialogs/*.json (tools/windows-resources.py), the controls' ids with
// them (MainDialog.h, made by tools/dialog-header.cmake).

namespace tsumugiya::win {

inline constexpr int kIdAboutBox = 100;         // IDD_ABOUTBOX
inline constexpr int kIdAboutMenuString = 101;  // IDS_ABOUTBOX
inline constexpr int kIdMainDialog = 102;       // IDD_MAIN
inline constexpr int kIdMainIcon = 128;         // IDR_MAINFRAME
// The hotkeys' cues, WAVE resources made by tools/cue-sounds.py.
inline constexpr int kIdCueDone = 201;
inline constexpr int kIdCueKept = 202;
inline constexpr int kIdCueFailed = 203;
// The system menu's own items; system commands keep the low four bits free.
inline constexpr unsigned kIdmAboutBox = 0x0010;
inline constexpr unsigned kIdmHotkeys = 0x0020;
inline constexpr unsigned kIdmAutoBackup = 0x0030;

}  // namespace tsumugiya::win
