#include "ResourceCues.h"

#include <shellapi.h>
// mmsystem.h after windows.h: it uses its types.
#include <mmsystem.h>

#include <array>
#include <memory>
#include <string_view>
#include <utility>

#include "Handles.h"
#include "Resource.h"

namespace tsumugiya::win {
namespace {

constexpr std::wstring_view kPlayCueOption = L"--play-cue";

constexpr std::array<std::pair<Cue, std::wstring_view>, 3> kCueNames{{
    {Cue::Done, L"done"},
    {Cue::AlreadyKept, L"kept"},
    {Cue::Failed, L"failed"},
}};

std::wstring_view NameOf(Cue cue) {
    for (const auto& [known, name] : kCueNames) {
        if (known == cue) {
            return name;
        }
    }
    return L"failed";
}

using PlaySoundFunction = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);

struct Playing {
    PlaySoundFunction play;
    Cue cue;
    BOOL heard = FALSE;
};

DWORD WINAPI PlayToTheEnd(void* parameter) {
    auto& playing = *static_cast<Playing*>(parameter);
    playing.heard =
        playing.play(MAKEINTRESOURCEW(CueResourceId(playing.cue)), ::GetModuleHandleW(nullptr),
                     SND_RESOURCE | SND_SYNC | SND_NODEFAULT);
    return 0;
}

// winmm from the system folder only: an .exe unpacked anywhere may sit beside
// a planted winmm.dll. It is not freed: the process ends right after, and a
// sound cut short may still be in it.
int PlayCue(Cue cue) {
    const HMODULE winmm = ::LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Through void*: a FARPROC is a function of another type.
    Playing playing{winmm ? reinterpret_cast<PlaySoundFunction>(
                                reinterpret_cast<void*>(::GetProcAddress(winmm, "PlaySoundW")))
                          : nullptr,
                    cue};
    if (!playing.play) {
        return kCueUnheard;
    }
    // On a thread of its own, so that a stuck audio driver cannot keep the
    // child alive: the cues last well under a second.
    const KernelHandle thread(::CreateThread(nullptr, 0, PlayToTheEnd, &playing, 0, nullptr));
    if (!thread.Get()) {
        return kCueUnheard;
    }
    constexpr DWORD kLongestCueMs = 4000;
    if (::WaitForSingleObject(thread.Get(), kLongestCueMs) != WAIT_OBJECT_0) {
        playing.play(nullptr, nullptr, 0);
        // Still playing: the thread uses this frame, and a driver that does
        // not stop may not let the libraries detach either.
        if (::WaitForSingleObject(thread.Get(), 500) != WAIT_OBJECT_0) {
            ::TerminateProcess(::GetCurrentProcess(), kCueUnheard);
        }
        return kCueUnheard;
    }
    return playing.heard ? kCueHeard : kCueUnheard;
}

struct LocalRelease {
    void operator()(wchar_t** arguments) const { ::LocalFree(arguments); }
};

}  // namespace

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

std::optional<Cue> CueOfArgument(std::wstring_view name) {
    for (const auto& [cue, known] : kCueNames) {
        if (known == name) {
            return cue;
        }
    }
    return std::nullopt;
}

ChildProcessCues::ChildProcessCues(std::filesystem::path executable, Launcher launch)
    : executable_(std::move(executable)), launch_(std::move(launch)) {}

void ChildProcessCues::Play(Cue cue) {
    // A Windows path holds no quote, so quoting it is enough.
    std::wstring commandLine = L"\"" + executable_.wstring() + L"\" ";
    commandLine.append(kPlayCueOption).append(L" ").append(NameOf(cue));
    // Not started: the title and the notification still say it.
    launch_(executable_.wstring(), std::move(commandLine));
}

bool ChildProcessCues::StartDetached(const std::wstring& program, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // No "starting" cursor over the game for the child that shows nothing.
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &started)) {
        return false;
    }
    // Never waited for: with both handles closed it goes entirely when it ends.
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

std::optional<int> RunCueChild(const wchar_t* commandLine) {
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalRelease> arguments(
        ::CommandLineToArgvW(commandLine, &count));
    if (!arguments || count < 2 || arguments.get()[1] != kPlayCueOption) {
        return std::nullopt;
    }
    const auto cue = count == 3 ? CueOfArgument(arguments.get()[2]) : std::nullopt;
    return cue ? PlayCue(*cue) : kCueUnknown;
}

}  // namespace tsumugiya::win
