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
        Find(play, "ca_context_play_full");
        Find(newProperties, "ca_proplist_create");
        Find(setProperty, "ca_proplist_sets");
        Find(freeProperties, "ca_proplist_destroy");
    }

    decltype(&ca_context_create) create = nullptr;
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
    // Whether it was told within the bound.
    bool WaitAtMost(std::chrono::milliseconds bound) {
        std::unique_lock lock(mutex_);
        return ended_.wait_for(lock, bound, [this] { return done_; });
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

// The context is not destroyed: libcanberra's ALSA output lets its player's
// thread run on after ca_context_destroy has unloaded the code it runs, which
// crashed about one run in forty here. It goes with the process, which ends
// right after the cue.
void SystemCues::Play(Cue cue) {
    const Libcanberra canberra;
    ca_context* context = nullptr;
    if (!canberra || canberra.create(&context) != CA_SUCCESS) {
        return;
    }
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
    auto finish = std::make_unique<Finish>();
    if (canberra.play(context, 1, made, &Finish::Said, finish.get()) == CA_SUCCESS &&
        !finish->WaitAtMost(kLongestWait)) {
        // libcanberra's thread may still tell it: it stays, as the context does.
        static_cast<void>(finish.release());
    }
}

}  // namespace tsumugiya::cli
