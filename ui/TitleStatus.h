#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>

namespace tsumugiya::ui {

// Short success notes in the window title instead of a status bar:
// "Tsumugiya : text" for a while, then the plain title again. One timer;
// a newer note restarts it. Nested modal loops keep it running.
class TitleStatus {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds kShownFor{2000};

    // The clock is open to tests, which tick by hand.
    TitleStatus(
        QWidget& window, QString plainTitle, std::chrono::milliseconds shownFor = kShownFor,
        Clock now = [] { return std::chrono::steady_clock::now(); });

    // An empty text puts the plain title back at once.
    void Show(const QString& text);
    // The title between notes from now on: shown at once, or after the note
    // showing, which keeps its own words meanwhile.
    void SetPlainTitle(const QString& title);
    bool IsShowing() const { return shownUntil_.has_value(); }
    // The timer's tick: the plain title comes back once the note's time is
    // up; a tick that comes early waits again for the rest.
    void OnTimer();

  private:
    QWidget& window_;
    QString plainTitle_;
    const std::chrono::milliseconds shownFor_;
    const Clock now_;
    std::optional<std::chrono::steady_clock::time_point> shownUntil_;
    QTimer timer_;
};

}  // namespace tsumugiya::ui
