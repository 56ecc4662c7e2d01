#pragma once

namespace tsumugiya::win {

// Runs the main dialog once; the program ends when it closes.
class CTsumugiya_App {
  public:
    int InitInstance();
};

}  // namespace tsumugiya::win
