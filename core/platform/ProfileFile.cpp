// Private-profile (INI) settings files through SimpleIni.

#include <SimpleIni.h>

#include "platform/Platform.h"
#include "platform/Primitives.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

// Quotes are read the way private-profile readers do; keys are written as
// key=value with no spaces around "=".
void Configure(CSimpleIniA& ini) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetQuotes(true);
    ini.SetSpaces(false);
}

}  // namespace

std::string ProfileStringFromText(std::string_view text, std::string_view section,
                                  std::string_view key, std::string_view fallback) {
    CSimpleIniA ini;
    Configure(ini);
    if (ini.LoadData(text.data(), text.size()) < 0) {
        return std::string(fallback);
    }
    const std::string s(section);
    const std::string k(key);
    const char* value = ini.GetValue(s.c_str(), k.c_str(), nullptr);
    return value ? std::string(value) : std::string(fallback);
}

bool WriteProfileStrings(const fs::path& file, std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& values,
                         IoError& error) {
    // A line break would end the value and start another key or section in
    // the file; a NUL would cut it short.
    for (const auto& [key, value] : values) {
        if (value.find_first_of(std::string_view("\r\n\0", 3)) != value.npos) {
            error =
                IoError{IoError::Kind::Other, file, "設定の値に改行や NUL 文字は入れられません"};
            return false;
        }
    }
    CSimpleIniA ini;
    Configure(ini);
    std::string bytes;
    // Only a missing file may start empty: one that cannot be read is left
    // as it is rather than replaced without its other settings.
    if (EntryExists(file) && !ReadWholeFile(file, bytes)) {
        error = IoError{IoError::Kind::Other, file, "ファイルを読めないので、そのままにしました"};
        return false;
    }
    if (ini.LoadData(bytes) < 0) {
        ini.Reset();
    }
    const std::string s(section);
    for (const auto& [key, value] : values) {
        // The reader takes a value that starts and ends with a quote for a
        // quoted one; one more pair brings such a value back as it was.
        const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
        ini.SetValue(s.c_str(), key.c_str(), quoted ? ('"' + value + '"').c_str() : value.c_str());
    }
    std::string out;
    if (ini.Save(out, false) < 0) {
        error = IoError{IoError::Kind::Other, file, "設定を書き出す形にできませんでした"};
        return false;
    }
    // No command sweeps the settings' folder otherwise: a write cut short
    // there leaves its temporary file until the next one.
    RemoveStaleTempFiles(sys::ResolveLink(file).parent_path());
    return WriteFileAtomically(file, out, error);
}

}  // namespace tsumugiya::platform
