#include "TitleStatus.h"

namespace tsumugiya::ui {

TitleStatus::TitleStatus(QWidget& window, QString plainTitle, std::chrono::milliseconds shownFor,
                         Clock now)
    : window_(window),
      plainTitle_(std::move(plainTitle)),
      shownFor_(shownFor),
      now_(std::move(now)) {
    timer_.setSingleShot(true);
    // A coarse timer may fire up to 5% early, and costs one more wait.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &window_, [this] { OnTimer(); });
}

void TitleStatus::Show(const QString& text) {
    timer_.stop();
    if (text.isEmpty()) {
        shownUntil_.reset();
        window_.setWindowTitle(plainTitle_);
        return;
    }
    window_.setWindowTitle(plainTitle_ + QStringLiteral(" : ") + text);
    shownUntil_ = now_() + shownFor_;
    timer_.start(shownFor_);
}

void TitleStatus::SetPlainTitle(const QString& title) {
    plainTitle_ = title;
    if (!IsShowing()) {
        window_.setWindowTitle(plainTitle_);
    }
}

void TitleStatus::OnTimer() {
    if (!shownUntil_) {
        return;
    }
    if (const auto left = *shownUntil_ - now_(); left > left.zero()) {
        timer_.start(std::chrono::ceil<std::chrono::milliseconds>(left));
        return;
    }
    timer_.stop();
    shownUntil_.reset();
    window_.setWindowTitle(plainTitle_);
}

}  // namespace tsumugiya::ui
