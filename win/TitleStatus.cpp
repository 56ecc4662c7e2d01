#include "TitleStatus.h"

namespace tsumugiya::win {

void TitleStatus::Show(const std::wstring& text) {
    ::KillTimer(window_, kTimerId);
    if (text.empty()) {
        ::SetWindowTextW(window_, plainTitle_.c_str());
        return;
    }
    ::SetWindowTextW(window_, (plainTitle_ + L" : " + text).c_str());
    ::SetTimer(window_, kTimerId, kShownForMs, nullptr);
}

void TitleStatus::OnTimer() {
    ::KillTimer(window_, kTimerId);
    ::SetWindowTextW(window_, plainTitle_.c_str());
}

}  // namespace tsumugiya::win
