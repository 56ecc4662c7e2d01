#include "CliHost.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <iostream>

#include "CopyProgressReport.h"
#include "Messages.h"
#include "TextColumns.h"
#include "platform/Platform.h"

namespace tsumugiya::cli {
namespace {

// The answer without surrounding blanks, ASCII letters lowered; a Japanese
// input method may add an ideographic space.
std::string Normalized(std::string_view answer) {
    constexpr std::array<std::string_view, 4> kBlanks = {" ", "\t", "\r", "\u3000"};
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        for (const std::string_view blank : kBlanks) {
            if (answer.starts_with(blank)) {
                answer.remove_prefix(blank.size());
                trimmed = true;
            }
            if (answer.ends_with(blank)) {
                answer.remove_suffix(blank.size());
                trimmed = true;
            }
        }
    }
    std::string text(answer);
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// With a Japanese input method on, y and n arrive full-width.
constexpr std::array<std::string_view, 5> kYes = {"y", "yes", "はい", "ｙ", "ｙｅｓ"};
constexpr std::array<std::string_view, 6> kNo = {"", "n", "no", "いいえ", "ｎ", "ｎｏ"};

bool IsOneOf(const std::string& answer, const auto& words) {
    return std::find(words.begin(), words.end(), answer) != words.end();
}

#ifdef _WIN32
// _isatty also says yes for NUL; only a console has a console mode.
bool InputIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// The console's UTF-16 line, as UTF-8: a byte read in the UTF-8 code page
// loses Japanese input on many Windows versions.
bool ReadAnswer(std::string& answer) {
    std::wstring line;
    wchar_t c = 0;
    DWORD got = 0;
    while (::ReadConsoleW(::GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) && got == 1) {
        if (c == L'\n') {
            answer = platform::Utf8Of(std::filesystem::path(line));
            return true;
        }
        line += c;
    }
    return false;
}

// The width of the console window stderr shows in; 0 when it is not one.
std::size_t ErrorColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
        return 0;
    }
    return static_cast<std::size_t>(std::max(0, info.srWindow.Right - info.srWindow.Left + 1));
}
#else
std::size_t ErrorColumns() {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool InputIsTerminal() {
    return ::isatty(STDIN_FILENO);
}

bool ReadAnswer(std::string& answer) {
    return static_cast<bool>(std::getline(std::cin, answer));
}
#endif

}  // namespace

bool CliHost::CanAsk() const {
    return !assumeYes_ && InputIsTerminal();
}

bool CliHost::AskOkCancel(std::string_view text) {
    if (assumeYes_) {
        return true;
    }
    err_ << text << '\n';
    if (!InputIsTerminal()) {
        err_ << "端末がないので答えられません。"
                "何も変更していません（--yes で確認せずに実行します）。\n";
        return false;
    }
    std::string answer;
    while (true) {
        err_ << "はい/いいえ [y/N]: " << std::flush;
        if (!ReadAnswer(answer)) {
            err_ << '\n';
            break;
        }
        answer = Normalized(answer);
        if (IsOneOf(answer, kYes)) {
            return true;
        }
        if (IsOneOf(answer, kNo)) {
            break;
        }
        err_ << "はい か いいえ で答えてください。\n";
    }
    err_ << "何も変更していません。\n";
    return false;
}

bool CliHost::WarnOkCancel(std::string_view text) {
    if (assumeYes_) {
        err_ << "警告: " << text << '\n';
        return true;
    }
    return AskOkCancel(text);
}

void CliHost::Tell(std::string_view text) {
    err_ << text << '\n';
}

// A status may begin with a blank that sets it off in a window title; a
// line on a terminal or in a notification starts with the text.
void CliHost::SetStatus(std::string_view text) {
    out_ << text.substr(std::min(text.find_first_not_of(' '), text.size())) << '\n';
}

// One line, rewritten in place; the last state stays, ended by a newline.
void CliHost::ShowProgress(std::string_view text, std::uint64_t done, std::uint64_t total) {
    if (!progress_) {
        return;
    }
    if (text.empty()) {
        *progress_ << '\n' << std::flush;
        previousColumns_ = 0;
        return;
    }
    const std::size_t terminal = ErrorColumns();
    const std::string line = FitProgressLine(text, done, total, terminal);
    const std::size_t columns = ColumnsOf(line);
    // Blanks over what a longer line before left at the end, as far as they
    // fit: a terminal made narrower meanwhile has wrapped that line anyway.
    const std::size_t cover =
        terminal == 0 ? previousColumns_ : std::min(previousColumns_, terminal - 1);
    const std::string blanks(cover > columns ? cover - columns : 0, ' ');
    previousColumns_ = columns;
    *progress_ << '\r' << line << blanks << std::flush;
}

void CliHost::ReportFileError(const platform::IoError& error) {
    err_ << messages::FileErrorReport(error) << '\n';
}

}  // namespace tsumugiya::cli
