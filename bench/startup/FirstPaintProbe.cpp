#include "FirstPaintProbe.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace tsumugiya::bench {
namespace {

// With BENCH_SMAPS=FILE the memory map at the first paint goes to FILE, to
// find where the resident pages are.
void CopySmaps() {
    const char* target = std::getenv("BENCH_SMAPS");
    if (!target || !*target) {
        return;
    }
    std::ifstream in("/proc/self/smaps");
    std::ofstream out(target);
    out << in.rdbuf();
}

[[noreturn]] void Report(const QWidget* window) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    CopySmaps();
    const long long ns = static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
    std::printf("paint_ns=%lld maxrss_kib=%ld window=%dx%d\n", ns, usage.ru_maxrss,
                window ? window->width() : 0, window ? window->height() : 0);
    std::fflush(stdout);
    _exit(0);
}

class FirstPaintFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType()) {
            seen_ = true;
            // The backing store paints the whole window and flushes it within
            // this one event, so the queued call runs after all of it.
            QPointer<QWidget> window = static_cast<QWidget*>(watched)->window();
            QTimer::singleShot(0, this, [window] { Report(window.data()); });
        }
        return false;
    }

  private:
    bool seen_ = false;
};

}  // namespace

void ReportFirstPaint(QApplication& application) {
    application.installEventFilter(new FirstPaintFilter(&application));
}

}  // namespace tsumugiya::bench
