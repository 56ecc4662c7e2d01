#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "CTsumugiya_App.h"
#include "support/TestSupport.h"

// Headless unless told otherwise, in UTC so that backup names are known, and
// with a home of its own so that nothing the toolkit might write there lands
// in the real one (the tests check that nothing does).
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "UTC0", 1);
    const tsumugiya::test::TempFolder home;
    const auto config = home / "config";
    std::filesystem::create_directory(config);
    ::setenv("HOME", home.path.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // The program's own toolkit set-up, as if it were installed as tsumugiya.
    tsumugiya::ui::CTsumugiya_App::SetUpToolkit("/opt/tsumugiya/tsumugiya");
    return RUN_ALL_TESTS();
}
