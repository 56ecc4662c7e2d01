#pragma once

#include <dlfcn.h>

namespace tsumugiya::cli {

// A desktop library opened only when a command asks for what it does:
// linked in, it would cost every run of the command its loading time. It
// stays loaded until the process ends, as GLib and the sound backends
// expect. Usable only when every function asked for was found.
class OpenedLibrary {
  public:
    explicit operator bool() const { return complete_; }

  protected:
    explicit OpenedLibrary(const char* soname)
        : library_(::dlopen(soname, RTLD_LAZY | RTLD_LOCAL)) {}

    template <typename Function>
    void Find(Function& function, const char* name) {
        function = library_ ? reinterpret_cast<Function>(::dlsym(library_, name)) : nullptr;
        complete_ = complete_ && function;
    }

  private:
    void* library_;
    bool complete_ = true;
};

}  // namespace tsumugiya::cli
