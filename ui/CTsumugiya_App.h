#pragma once

namespace tsumugiya::ui {

// Starts the toolkit, runs the one dialog modally and ends with it.
class CTsumugiya_App {
  public:
    int InitInstance(int& argc, char** argv);
};

}  // namespace tsumugiya::ui
