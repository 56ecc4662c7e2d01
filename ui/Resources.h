#pragma once

#include <QIcon>
#include <QString>

#include "DialogTemplate.h"

namespace tsumugiya::ui {

// The layouts, strings and icon compiled in from res/.
inline constexpr const char* kMainDialogLayout = ":/dialogs/main.json";
inline constexpr const char* kAboutDialogLayout = ":/dialogs/about.json";
inline constexpr const char* kHotkeysDialogLayout = ":/dialogs/hotkeys.json";
inline constexpr int kAboutMenuString = 101;

DialogTemplate LoadDialogTemplate(const QString& resource);
// The string with this id, or an empty text when there is none.
QString LoadResourceString(int id);
QIcon ProgramIcon();

}  // namespace tsumugiya::ui
