#include "BaselineDialog.h"

#include <QApplication>
#include <QDialog>
#include <cstdio>

#include "FirstPaintProbe.h"

namespace tsumugiya::bench {

int RunBaselineDialog(int argc, char** argv, const std::function<void(QDialog&)>& fill) {
    int width = 0;
    int height = 0;
    if (argc > 2 || (argc == 2 && std::sscanf(argv[1], "%dx%d", &width, &height) != 2)) {
        std::fprintf(stderr, "usage: %s [WIDTHxHEIGHT]\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    ReportFirstPaint(application);
    QDialog dialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // Same pixel count as the dialog it stands in for, so both flush alike.
    if (width > 0 && height > 0) {
        dialog.setFixedSize(width, height);
    }
    fill(dialog);
    dialog.exec();
    std::fprintf(stderr, "the dialog closed before its first paint\n");
    return 1;
}

}  // namespace tsumugiya::bench
