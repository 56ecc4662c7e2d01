#include "DesktopNotification.h"

namespace tsumugiya::cli {

// Desktop notifications are a Linux desktop feature for now.
void ShowDesktopNotification(const std::string&, Cue, bool) {}

}  // namespace tsumugiya::cli
