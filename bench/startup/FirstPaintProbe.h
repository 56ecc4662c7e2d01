#pragma once

class QApplication;

namespace tsumugiya::bench {

// Once the first paint of any widget has been handled, prints one line
//   paint_ns=<CLOCK_REALTIME ns> maxrss_kib=<peak RSS> window=<W>x<H>
// to stdout and ends the process with _exit(0), so no teardown is measured
// and the program under test never has to be closed.
void ReportFirstPaint(QApplication& application);

}  // namespace tsumugiya::bench
