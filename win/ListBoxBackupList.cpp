#include "ListBoxBackupList.h"

#include <algorithm>

#include "platform/win32/Win32.h"

namespace tsumugiya::win {

using platform::win32::Narrow;
using platform::win32::Wide;

void ListBoxBackupList::Clear() {
    Send(LB_RESETCONTENT);
    widest_ = 0;
    Send(LB_SETHORIZONTALEXTENT, 0);
}

void ListBoxBackupList::Append(const std::string& text) {
    const std::wstring wide = Wide(text);
    Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    Widen({wide});
}

// One storage reservation, one device context and one redraw for the whole list.
void ListBoxBackupList::Assign(std::vector<std::string> texts) {
    std::vector<std::wstring> wide;
    wide.reserve(texts.size());
    std::size_t chars = 0;
    for (const std::string& text : texts) {
        wide.push_back(Wide(text));
        chars += wide.back().size() + 1;
    }
    Send(WM_SETREDRAW, FALSE);
    Clear();
    Send(LB_INITSTORAGE, wide.size(), static_cast<LPARAM>(chars * sizeof(wchar_t)));
    for (const std::wstring& text : wide) {
        Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    Widen(wide);
    Send(WM_SETREDRAW, TRUE);
    ::InvalidateRect(list_, nullptr, TRUE);
}

void ListBoxBackupList::Widen(const std::vector<std::wstring>& texts) {
    const HDC dc = ::GetDC(list_);
    if (!dc) {
        return;
    }
    const HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(Send(WM_GETFONT)));
    int widest = 0;
    for (const std::wstring& text : texts) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widest = std::max<int>(widest, size.cx);
    }
    ::SelectObject(dc, previous);
    ::ReleaseDC(list_, dc);
    // The entries are drawn a few pixels in from the edge.
    const int width = widest + 2 * ::GetSystemMetrics(SM_CXEDGE);
    if (width > widest_) {
        widest_ = width;
        Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_));
    }
}

int ListBoxBackupList::Count() const {
    return static_cast<int>(Send(LB_GETCOUNT));
}

std::string ListBoxBackupList::Text(int index) const {
    const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return Narrow(text);
}

int ListBoxBackupList::SelectedCount() const {
    const LRESULT count = Send(LB_GETSELCOUNT);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

std::vector<int> ListBoxBackupList::SelectedIndices(int max) const {
    std::vector<int> indices(static_cast<std::size_t>(max > 0 ? max : 0));
    if (indices.empty()) {
        return indices;
    }
    const LRESULT got = Send(LB_GETSELITEMS, static_cast<WPARAM>(indices.size()),
                             reinterpret_cast<LPARAM>(indices.data()));
    indices.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
    return indices;
}

void ListBoxBackupList::Select(int index) {
    if (Send(LB_SETSEL, TRUE, static_cast<LPARAM>(index)) == LB_ERR) {
        return;
    }
    // The keyboard continues from the selected entry, which comes into view.
    Send(LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
}

}  // namespace tsumugiya::win
