#pragma once

#include <windows.h>

namespace tsumugiya::win {

// Widens the dialog's labels and check boxes whose caption the font at hand
// does not fit (a stand-in face is wider than the one the layout was drawn
// for), growing the way the text is aligned, as the Linux window does.
void FitCaptions(HWND dialog);

}  // namespace tsumugiya::win
