#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>

namespace tsumugiya::ui {

// Short success notes in the window title instead of a status bar:
// "Tsumugiya : text" for a while, then the plain title again. One timer;
// a newer note restarts it. Nested modal loops keep it running.
class TitleStatus {
  public:
    static constexpr std::chrono::milliseconds kShownFor{2000};

    TitleStatus(QWidget& window, QString plainTitle,
                std::chrono::milliseconds shownFor = kShownFor);

    // An empty text puts the plain title back at once.
    void Show(const QString& text);
    bool IsShowing() const { return timer_.isActive(); }

  private:
    void OnTimer();

    QWidget& window_;
    const QString plainTitle_;
    QTimer timer_;
};

}  // namespace tsumugiya::ui
