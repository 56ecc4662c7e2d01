#include "CanberraCues.h"

#include <canberra.h>

#include <chrono>
#include <string>
#include <thread>

namespace tsumugiya::ui {
namespace {

constexpr std::uint32_t kCueId = 1;  // every cue, so that one question covers them all

}  // namespace

// Not destroyed: libcanberra's ALSA output lets its players' threads run on
// after ca_context_destroy has unloaded the code they run, which crashed one
// run in three here. The context goes with the process; the last cue is let
// finish first so that it is heard whole.
CanberraCues::~CanberraCues() {
    if (context_) {
        WaitForTheLastCue();
    }
}

void CanberraCues::WaitForTheLastCue() const {
    // The cues last well under a second; a stuck sound server is not waited out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int playing = 0;
    while (ca_context_playing(context_, kCueId, &playing) == CA_SUCCESS && playing &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int CanberraCues::Start(Cue cue) {
    if (!context_) {
        if (const int error = ca_context_create(&context_); error != CA_SUCCESS) {
            context_ = nullptr;
            return error;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Tsumugiya",
                                CA_PROP_APPLICATION_ID, "io.github.tsumugiya", nullptr);
    }
    // A new result's cue replaces the one still sounding: two at once
    // would blur both.
    ca_context_cancel(context_, kCueId);
    const std::string id(SoundThemeEventId(cue));
    const std::string description(CueDescription(cue));
    return ca_context_play(context_, kCueId, CA_PROP_EVENT_ID, id.c_str(),
                           CA_PROP_EVENT_DESCRIPTION, description.c_str(), nullptr);
}

}  // namespace tsumugiya::ui
