#pragma once

#include <filesystem>

namespace tsumugiya::ui {

// Starts the toolkit, runs the one dialog modally and ends with it.
class CTsumugiya_App {
  public:
    int InitInstance(int& argc, char** argv);

    // The steps of InitInstance once the toolkit runs, for whoever brings
    // their own QApplication: names, icon and fonts, then the dialog.
    static void SetUpToolkit(const std::filesystem::path& executable);
    static void RunDialog(const std::filesystem::path& executable);
};

}  // namespace tsumugiya::ui
