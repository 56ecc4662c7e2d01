#pragma once

#include <string>

namespace tsumugiya::cli {

// Shows a command's outcome as a desktop notification, for a player who ran
// it from a hotkey inside a game and sees no terminal. Without a session bus
// or a notification service nothing is shown and nothing fails.
void ShowDesktopNotification(const std::string& body, bool failed);

}  // namespace tsumugiya::cli
