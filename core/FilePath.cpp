#include "FilePath.h"

#include "platform/Platform.h"

namespace tsumugiya {

void CFilePath::Set(std::string path) {
    Clear();
    full_ = std::move(path);
    Split();
}

bool CFilePath::SetFromModule() {
    std::string self = platform::Utf8Of(platform::ExecutablePath());
    if (self.empty()) {
        Clear();
        return false;
    }
    Set(std::move(self));
    return true;
}

void CFilePath::Clear() {
    full_.reset();
    directory_.reset();
    fileName_.reset();
    baseName_.reset();
    extension_.reset();
}

bool CFilePath::Exists() const {
    return full_ && !full_->empty() && platform::EntryExists(*full_);
}

// UTF-8 never uses the bytes of "/" or "." inside a multibyte character, so a
// byte scan finds only real separators and dots.
void CFilePath::Split() {
    const std::string& path = *full_;
    const std::ptrdiff_t len = static_cast<std::ptrdiff_t>(path.size());

    std::ptrdiff_t sep = -1;
    for (std::ptrdiff_t i = len - 1; i >= 0; --i) {
        if (platform::IsSeparator(path[i])) {
            sep = i;
            break;
        }
    }
    // Only a dot inside the file name counts: "/data.old/README" has no
    // extension rather than one that runs across the separator.
    std::ptrdiff_t dot = len + 1;
    for (std::ptrdiff_t i = len - 1; i > sep; --i) {
        if (path[i] == '.') {
            dot = i;
            break;
        }
    }

    if (sep > 0) {
        directory_ = path.substr(0, sep);
    }
    if (len - sep - 1 > 0) {
        fileName_ = path.substr(sep + 1);
    }
    // Without a dot the base name is the file name, absent along with it.
    if (dot == len + 1) {
        baseName_ = fileName_;
    } else if (dot - sep - 1 > 0) {
        baseName_ = path.substr(sep + 1, dot - sep - 1);
    }
    if (dot <= len && len - dot - 1 >= 1) {
        extension_ = path.substr(dot + 1);
    }
}

}  // namespace tsumugiya
