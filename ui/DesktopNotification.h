#pragma once

#include <QDBusConnection>

#include "HotkeyCommands.h"

namespace tsumugiya::ui {

// Shows a hotkey's result as a desktop notification, without blocking: the
// server's answers come through the event loop, and where no service
// answers, nothing happens (the title has it). Silent: the cue is played apart.
void SendDesktopNotification(const QDBusConnection& bus, const HotkeyReport& report);

}  // namespace tsumugiya::ui
