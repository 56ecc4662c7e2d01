#include "CanberraCues.h"

#include <canberra.h>

#include <string>

namespace tsumugiya::ui {

CanberraCues::~CanberraCues() {
    if (context_) {
        ca_context_destroy(context_);
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
    const std::string id(CueEventId(cue));
    const std::string description(CueDescription(cue));
    return ca_context_play(context_, 0, CA_PROP_EVENT_ID, id.c_str(), CA_PROP_EVENT_DESCRIPTION,
                           description.c_str(), nullptr);
}

}  // namespace tsumugiya::ui
