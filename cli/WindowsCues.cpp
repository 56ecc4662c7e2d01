#include <windows.h>
// mmsystem.h after windows.h: it uses its types.
#include <mmsystem.h>

#include <memory>

#include "SystemCues.h"

namespace tsumugiya::cli {
namespace {

// The WAVE resources of this program (Cues.rc).
const wchar_t* ResourceOf(Cue cue) {
    switch (cue) {
        case Cue::Done:
            return L"CUE_DONE";
        case Cue::AlreadyKept:
            return L"CUE_KEPT";
        case Cue::Failed:
            break;
    }
    return L"CUE_FAILED";
}

struct LibraryRelease {
    void operator()(HMODULE library) const { ::FreeLibrary(library); }
};

}  // namespace

// winmm is loaded from the system folder for --sound only: imported, it
// would be one more DLL at every start, looked for beside the program first.
// SND_SYNC: the command ends right after, and a sound still playing with it.
void SystemCues::Play(Cue cue) {
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryRelease> winmm(
        ::LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!winmm) {
        return;
    }
    // Through void*: a FARPROC is a function of another type.
    const auto play = reinterpret_cast<decltype(&::PlaySoundW)>(
        reinterpret_cast<void*>(::GetProcAddress(winmm.get(), "PlaySoundW")));
    if (play) {
        play(ResourceOf(cue), ::GetModuleHandleW(nullptr), SND_RESOURCE | SND_SYNC | SND_NODEFAULT);
    }
}

}  // namespace tsumugiya::cli
