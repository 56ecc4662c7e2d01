// The floor for the start-up benchmark: Qt Widgets and one empty modal
// dialog, with the same window flags as tsumugiya's.
#include <QDialog>

#include "BaselineDialog.h"

int main(int argc, char** argv) {
    return tsumugiya::bench::RunBaselineDialog(argc, argv, [](QDialog&) {});
}
