#include "MemoField.h"

#include "MemoFit.h"

namespace tsumugiya::win {
namespace {

// wchar_t is 16 bits wide on Windows: the same units in another type.
std::u16string Utf16Of(std::wstring_view text) {
    return {text.begin(), text.end()};
}

}  // namespace

std::wstring ItemText(HWND item) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::optional<std::string> FitMemoControl(HWND memo, std::size_t room) {
    DWORD caret = 0;
    ::SendMessageW(memo, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    const auto fit = FitMemo(Utf16Of(ItemText(memo)), caret, room);
    if (!fit) {
        return std::nullopt;
    }
    const std::wstring text(fit->text.begin(), fit->text.end());
    ::SetWindowTextW(memo, text.c_str());
    ::SendMessageW(memo, EM_SETSEL, fit->caret, static_cast<LPARAM>(fit->caret));
    return fit->reasons;
}

std::string StrictUtf8(std::wstring_view text) {
    return tsumugiya::StrictUtf8(Utf16Of(text));
}

}  // namespace tsumugiya::win
