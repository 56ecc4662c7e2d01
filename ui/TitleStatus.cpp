#include "TitleStatus.h"

namespace tsumugiya::ui {

TitleStatus::TitleStatus(QWidget& window, QString plainTitle, std::chrono::milliseconds shownFor)
    : window_(window), plainTitle_(std::move(plainTitle)) {
    timer_.setSingleShot(true);
    // A coarse timer may fire up to 5% early; the note stays its full time.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(shownFor);
    QObject::connect(&timer_, &QTimer::timeout, &window_, [this] { OnTimer(); });
}

void TitleStatus::Show(const QString& text) {
    timer_.stop();
    if (text.isEmpty()) {
        window_.setWindowTitle(plainTitle_);
        return;
    }
    window_.setWindowTitle(plainTitle_ + QStringLiteral(" : ") + text);
    timer_.start();
}

void TitleStatus::OnTimer() {
    timer_.stop();
    window_.setWindowTitle(plainTitle_);
}

}  // namespace tsumugiya::ui
