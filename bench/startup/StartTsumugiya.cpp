// The real program's start-up path, ended at its first painted frame.
#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "CTsumugiya_App.h"
#include "FirstPaintProbe.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s EXE_PATH\n", argv[0]);
        return 2;
    }
    // Taken before QApplication, which may strip arguments it knows.
    const std::filesystem::path executable(argv[1]);
    QApplication application(argc, argv);
    tsumugiya::bench::ReportFirstPaint(application);
    tsumugiya::ui::CTsumugiya_App::SetUpToolkit(executable);
    tsumugiya::ui::CTsumugiya_App::RunDialog(executable);
    std::fprintf(stderr, "the dialog closed before its first paint\n");
    return 1;
}
