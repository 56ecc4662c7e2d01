#include <canberra.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "OpenedLibrary.h"
#include "SystemCues.h"

namespace tsumugiya::cli {
namespace {

// The theme's cues last about a second; a sound server that takes longer
// to answer must not hold a hotkey's command.
constexpr auto kLongestWait = std::chrono::seconds(4);

// Opened only for --sound, as libnotify is for --notify.
class Libcanberra : public OpenedLibrary {
  public:
    Libcanberra() : OpenedLibrary("libcanberra.so.0") {
        Find(create, "ca_context_create");
        Find(destroy, "ca_context_destroy");
        Find(play, "ca_context_play_full");
        Find(newProperties, "ca_proplist_create");
        Find(setProperty, "ca_proplist_sets");
        Find(freeProperties, "ca_proplist_destroy");
    }

    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
    decltype(&ca_context_play_full) play = nullptr;
    decltype(&ca_proplist_create) newProperties = nullptr;
    decltype(&ca_proplist_sets) setProperty = nullptr;
    decltype(&ca_proplist_destroy) freeProperties = nullptr;
};

// Told by libcanberra's own thread when the sound has ended or failed.
class Finish {
  public:
    static void Said(ca_context*, std::uint32_t, int, void* self) {
        static_cast<Finish*>(self)->Tell();
    }
    void WaitAtMost(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, bound, [this] { return done_; });
    }

  private:
    void Tell() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        ended_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
};

}  // namespace

void SystemCues::Play(Cue cue) {
    const Libcanberra canberra;
    ca_context* opened = nullptr;
    if (!canberra || canberra.create(&opened) != CA_SUCCESS) {
        return;
    }
    // Declared before the context: destroying it ends a sound still playing
    // and says so to the finish, which must still be there.
    Finish finish;
    const auto destroy = [&canberra](ca_context* c) { canberra.destroy(c); };
    const std::unique_ptr<ca_context, decltype(destroy)> context(opened, destroy);
    ca_proplist* made = nullptr;
    if (canberra.newProperties(&made) != CA_SUCCESS) {
        return;
    }
    const auto free = [&canberra](ca_proplist* p) { canberra.freeProperties(p); };
    const std::unique_ptr<ca_proplist, decltype(free)> properties(made, free);
    const std::string event(SoundThemeEventId(cue));
    canberra.setProperty(made, CA_PROP_EVENT_ID, event.c_str());
    canberra.setProperty(made, CA_PROP_APPLICATION_NAME, "Tsumugiya");
    canberra.setProperty(made, CA_PROP_APPLICATION_ID, "io.github.tsumugiya");
    if (canberra.play(context.get(), 1, made, &Finish::Said, &finish) == CA_SUCCESS) {
        finish.WaitAtMost(kLongestWait);
    }
}

}  // namespace tsumugiya::cli
