#include "ForegroundWatch.h"

#include <map>

#include "Handles.h"

namespace tsumugiya::win {
namespace {

bool IsTokenElevated(HANDLE process) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) {
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    const KernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation,
                                 &size) &&
           elevation.TokenIsElevated != 0;
}

// The watches by their hooks: the system's callback carries no pointer of
// ours. Hooks out of context call back on the thread that set them, the
// window's, so the table is only ever touched there.
std::map<HWINEVENTHOOK, ForegroundWatch::Callback*>& Watches() {
    static std::map<HWINEVENTHOOK, ForegroundWatch::Callback*> watches;
    return watches;
}

}  // namespace

bool IsProcessElevated(DWORD processId) {
    const KernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.Get()) {
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    return IsTokenElevated(process.Get());
}

bool IsSelfElevated() {
    return IsTokenElevated(::GetCurrentProcess());
}

void ForegroundWatch::Start() {
    if (hook_) {
        return;
    }
    hook_ = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                              &ForegroundWatch::OnEvent, 0, 0,
                              WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (hook_) {
        Watches()[hook_] = &callback_;
    }
}

void ForegroundWatch::Stop() {
    if (!hook_) {
        return;
    }
    ::UnhookWinEvent(hook_);
    Watches().erase(hook_);
    hook_ = nullptr;
}

void CALLBACK ForegroundWatch::OnEvent(HWINEVENTHOOK hook, DWORD, HWND window, LONG, LONG, DWORD,
                                       DWORD) {
    const auto found = Watches().find(hook);
    DWORD processId = 0;
    if (found == Watches().end() || !window || !::GetWindowThreadProcessId(window, &processId)) {
        return;
    }
    (*found->second)(IsProcessElevated(processId));
}

}  // namespace tsumugiya::win
