#include "ResourceCues.h"

#include <mmsystem.h>

#include "Resource.h"

namespace tsumugiya::win {

int CueResourceId(Cue cue) {
    switch (cue) {
        case Cue::Done:
            return kIdCueDone;
        case Cue::AlreadyKept:
            return kIdCueKept;
        case Cue::Failed:
            break;
    }
    return kIdCueFailed;
}

ResourceCues::~ResourceCues() {
    if (winmm_) {
        // A cue still playing would go on from a library about to leave.
        playSound_(nullptr, nullptr, 0);
        ::FreeLibrary(winmm_);
    }
}

void ResourceCues::Play(Cue cue) {
    if (!loadTried_) {
        loadTried_ = true;
        winmm_ = ::LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        playSound_ = winmm_ ? reinterpret_cast<PlaySoundFunction>(
                                  reinterpret_cast<void*>(::GetProcAddress(winmm_, "PlaySoundW")))
                            : nullptr;
        if (winmm_ && !playSound_) {
            ::FreeLibrary(winmm_);
            winmm_ = nullptr;
        }
    }
    // No sound device, or no winmm: the title and the notification still say it.
    if (playSound_) {
        playSound_(MAKEINTRESOURCEW(CueResourceId(cue)), ::GetModuleHandleW(nullptr),
                   SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
    }
}

}  // namespace tsumugiya::win
