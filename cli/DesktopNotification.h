#pragma once

#include <string>

#include "HotkeyCommands.h"

namespace tsumugiya::cli {

// Shows a command's outcome as a desktop notification, for a player who ran
// it from a hotkey inside a game and sees no terminal. Without a session bus
// or a notification service nothing is shown and nothing fails. The cue's
// sound is asked of the notification service, unless it is played apart:
// then the notification asks for silence, so that it is heard once.
void ShowDesktopNotification(const std::string& body, Cue cue, bool soundPlayedApart);

}  // namespace tsumugiya::cli
