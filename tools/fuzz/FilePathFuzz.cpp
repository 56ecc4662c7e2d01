// CFilePath on arbitrary bytes: every piece must agree with a plain re-split
// of the same path, and a piece the path does not have must be absent.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "FilePath.h"

namespace {

using Part = std::optional<std::string>;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "CFilePath invariant broken: %s\n", what);
        std::abort();
    }
}

// Empty text is no piece at all.
Part NonEmpty(std::string text) {
    return text.empty() ? Part() : Part(std::move(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string full(reinterpret_cast<const char*>(data), size);
    tsumugiya::CFilePath path(full);

    Check(path.GetFull() == full, "full path changed");

    const std::size_t sep = full.rfind('/');
    const std::string fileText = sep == full.npos ? full : full.substr(sep + 1);
    const Part fileName = path.GetFileName();
    // The text after the last '/' holds no '/' by construction.
    Check(fileName == NonEmpty(fileText), "file name is not the text after the last '/'");

    // A file in the root folder ("/name") has no directory part.
    const bool hasDirectory = sep != full.npos && sep > 0;
    Check(path.GetDirectory().has_value() == hasDirectory, "directory presence");
    if (hasDirectory) {
        Check(*path.GetDirectory() + "/" + fileName.value_or("") == full,
              "directory + '/' + file name is not the full path");
    }

    // Base name and extension split the file name at its last dot; both are
    // absent when there is no file name.
    const std::size_t dot = fileText.rfind('.');
    const Part base = fileName ? NonEmpty(fileText.substr(0, dot)) : Part();
    const Part extension =
        fileName && dot != fileText.npos ? NonEmpty(fileText.substr(dot + 1)) : Part();
    Check(path.GetBaseName() == base, "base name");
    Check(path.GetExtension() == extension, "extension");

    // Set must forget everything of the previous path.
    path.Set("x");
    Check(!path.GetDirectory() && !path.GetExtension() && path.GetBaseName() == Part("x"),
          "Set kept pieces of the previous path");
    return 0;
}
