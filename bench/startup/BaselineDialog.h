#pragma once

#include <functional>

class QDialog;

namespace tsumugiya::bench {

// The baselines' whole program: takes an optional WIDTHxHEIGHT argument, starts
// QApplication with the first-paint probe, and shows a QDialog with
// tsumugiya's window flags at that fixed size after `fill` has added any
// content. Returns only on a usage error or if the dialog closes unpainted.
int RunBaselineDialog(int argc, char** argv, const std::function<void(QDialog&)>& fill);

}  // namespace tsumugiya::bench
