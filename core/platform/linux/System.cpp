// Linux process and clock services.

#include <locale.h>
#include <pwd.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/Causes.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace tsumugiya::platform {
namespace {

// A locale of its own for one lookup, whatever the program's locale is.
// gettext converts a translation to the codeset of LC_CTYPE, so that
// category is asked for along with the messages.
class Locale {
  public:
    explicit Locale(const char* name)
        : locale_(::newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, name, locale_t{})) {}
    Locale(const Locale&) = delete;
    Locale& operator=(const Locale&) = delete;
    ~Locale() {
        if (locale_) {
            ::freelocale(locale_);
        }
    }
    // The C library's text for an error number; empty without the locale.
    std::string ErrorText(int err) const { return locale_ ? ::strerror_l(err, locale_) : ""; }

  private:
    locale_t locale_;
};

}  // namespace

// The catalogue counts only where it translates: without the Japanese
// locale, or with LANGUAGE asking for another language, it gives the C text.
std::string ErrnoCause(int err) {
    const std::string untranslated = Locale("C").ErrorText(err);
    const std::string japanese = Locale("ja_JP.UTF-8").ErrorText(err);
    if (!japanese.empty() && japanese != untranslated) {
        return japanese;
    }
    if (const auto cause = CommonCauseOfErrno(err)) {
        return std::string(JapaneseText(*cause));
    }
    return untranslated;
}

bool IsSeparator(char c) {
    return c == '/';
}

bool IsAbsolutePath(std::string_view path) {
    return path.starts_with('/');
}

bool IsDevicePath(std::string_view) {
    return false;
}

std::optional<std::string> AbsolutePath(std::string_view path) {
    if (path.empty()) {
        return std::nullopt;
    }
    if (IsAbsolutePath(path)) {
        return std::string(path);
    }
    std::error_code ec;
    const fs::path folder = fs::current_path(ec);
    if (ec) {
        return std::nullopt;
    }
    return Utf8Of(folder / PathFromUtf8(path));
}

bool IsOneComponent(std::string_view name) {
    return name.find('/') == name.npos;
}

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

fs::path HomeFolder() {
    if (const auto home = EnvironmentValue("HOME"); home && !home->empty()) {
        return *home;
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

bool CanWriteIn(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool SameEntry(const fs::path& a, const fs::path& b) {
    struct stat one {};
    struct stat two {};
    return ::stat(a.c_str(), &one) == 0 && ::stat(b.c_str(), &two) == 0 &&
           one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

// localtime_r covers any year an int holds, before 1970 too.
std::optional<CalendarTime> LocalTime(std::int64_t seconds) {
    const auto t = static_cast<time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds) {
        return std::nullopt;  // past a 32-bit time_t
    }
    // Re-read the zone each time so that a zone change reaches a running program.
    ::tzset();
    struct tm local {};
    if (::localtime_r(&t, &local) == nullptr) {
        return std::nullopt;
    }
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace tsumugiya::platform
