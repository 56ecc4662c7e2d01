#include "Messages.h"

namespace tsumugiya::messages {

std::string FileErrorReport(const platform::IoError& error) {
    if (error.file.empty()) {
        return std::string(kNoSaveFileChosen);
    }
    return "ファイル " + error.file.string() + " を開けません。\n" + error.cause;
}

std::string WithCause(std::string_view text, const platform::IoError& error) {
    if (error.file.empty() && error.cause.empty()) {
        return std::string(text);
    }
    return std::string(text) + "\n" + error.file.string() + ": " + error.cause;
}

}  // namespace tsumugiya::messages
