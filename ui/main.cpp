#include "CTsumugiya_App.h"
#include "CueChild.h"

int main(int argc, char** argv) {
    // A cue's child plays and ends before any toolkit starts: no display,
    // no window, nothing shown.
    if (const auto status = tsumugiya::ui::PlayCueIfAsked(argc, argv)) {
        return *status;
    }
    return tsumugiya::ui::CTsumugiya_App().InitInstance(argc, argv);
}
