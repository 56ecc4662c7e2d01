#pragma once

#include <windows.h>

namespace tsumugiya::win {

// Owns one GDI object (font, brush) and deletes it when it goes.
template <class Handle>
class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { Reset(); }

    void Reset(Handle handle = nullptr) {
        if (handle_) {
            ::DeleteObject(handle_);
        }
        handle_ = handle;
    }
    Handle Get() const { return handle_; }
    Handle Release() {
        const Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

  private:
    Handle handle_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;

// Owns a kernel object's handle (a process, a token) and closes it.
class KernelHandle {
  public:
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    ~KernelHandle() {
        if (handle_) {
            ::CloseHandle(handle_);
        }
    }
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
};

// Owns a window the program created itself (not a dialog's control).
class OwnedWindow {
  public:
    OwnedWindow() = default;
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    ~OwnedWindow() { Reset(); }

    void Reset(HWND window = nullptr) {
        if (window_) {
            ::DestroyWindow(window_);
        }
        window_ = window;
    }
    HWND Get() const { return window_; }

  private:
    HWND window_ = nullptr;
};

}  // namespace tsumugiya::win
