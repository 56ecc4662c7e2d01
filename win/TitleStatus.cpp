#include "TitleStatus.h"

namespace tsumugiya::win {

void TitleStatus::Show(const std::wstring& text) {
    if (text.empty()) {
        ShowPlain();
        return;
    }
    ::SetWindowTextW(window_, (plainTitle_ + L" : " + text).c_str());
    ::SetTimer(window_, kTimerId, kShownForMs, nullptr);
    noting_ = true;
}

void TitleStatus::OnTimer() {
    ShowPlain();
}

void TitleStatus::SetPlainTitle(std::wstring plainTitle) {
    plainTitle_ = std::move(plainTitle);
    if (!noting_) {
        ShowPlain();
    }
}

void TitleStatus::ShowPlain() {
    ::KillTimer(window_, kTimerId);
    ::SetWindowTextW(window_, plainTitle_.c_str());
    noting_ = false;
}

}  // namespace tsumugiya::win
