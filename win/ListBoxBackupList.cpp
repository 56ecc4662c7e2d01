#include "ListBoxBackupList.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/win32/Win32.h"

namespace tsumugiya::win {

using platform::win32::Narrow;
using platform::win32::Wide;

ListBoxBackupList::~ListBoxBackupList() {
    if (list_) {
        ::RemoveWindowSubclass(list_, ListProcedure, 0);
    }
}

void ListBoxBackupList::Attach(HWND dialog, HWND list) {
    list_ = list;
    tip_.AttachTracked(dialog, list);
    ::SetWindowSubclass(list_, ListProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
    if (tip_.Handle()) {
        ::SetWindowSubclass(tip_.Handle(), TipProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

// The tip lies below its entry, over the next: the mouse that reaches it has
// left the entry, and the list below the tip would not see it move.
LRESULT CALLBACK ListBoxBackupList::TipProcedure(HWND tip, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    if (message == WM_MOUSEMOVE) {
        reinterpret_cast<ListBoxBackupList*>(self)->tip_.Hide();
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(tip, TipProcedure, 0);
    }
    return ::DefSubclassProc(tip, message, wParam, lParam);
}

LRESULT CALLBACK ListBoxBackupList::ListProcedure(HWND list, UINT message, WPARAM wParam,
                                                  LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto& owner = *reinterpret_cast<ListBoxBackupList*>(self);
    switch (message) {
        case WM_MOUSEMOVE: {
            const LRESULT hit = ::SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam);
            RECT entry{};
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const bool onEntry = HIWORD(hit) == 0 &&
                                 ::SendMessageW(list, LB_GETITEMRECT, LOWORD(hit),
                                                reinterpret_cast<LPARAM>(&entry)) != LB_ERR &&
                                 ::PtInRect(&entry, at);
            owner.OnMouseAt(onEntry ? LOWORD(hit) : -1);
            break;
        }
        case WM_MOUSEHOVER:
            owner.OnMouseRest();
            break;
        // Once the entries move or the mouse is elsewhere, the tip would name
        // the wrong one.
        case WM_MOUSELEAVE:
        case WM_MOUSEWHEEL:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_KEYDOWN:
            owner.hovered_ = -1;
            owner.tip_.Hide();
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(list, ListProcedure, 0);
            owner.list_ = nullptr;
            break;
        default:
            break;
    }
    return ::DefSubclassProc(list, message, wParam, lParam);
}

void ListBoxBackupList::OnMouseAt(int entry) {
    if (entry == hovered_ && tip_.Shown()) {
        return;
    }
    hovered_ = entry;
    tip_.Hide();
    if (entry < 0) {
        return;
    }
    // Moving on, the mouse has not rested yet.
    TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, list_, HOVER_DEFAULT};
    ::TrackMouseEvent(&track);
}

void ListBoxBackupList::OnMouseRest() {
    RECT entry{};
    if (hovered_ < 0 || Send(LB_GETITEMRECT, static_cast<WPARAM>(hovered_),
                             reinterpret_cast<LPARAM>(&entry)) == LB_ERR) {
        return;
    }
    const std::wstring text = WideText(hovered_);
    RECT client{};
    ::GetClientRect(list_, &client);
    // Scrolled sideways, the entry's start is cut off; otherwise its end may be.
    const int scrolled = ::GetScrollPos(list_, SB_HORZ);
    if (scrolled <= 0 && TextWidth(text) <= client.right) {
        return;
    }
    // Just below the entry, in the list's font, its text in line with the
    // entry's: the mouse stays on the list, the name reads on where it was cut.
    ::SendMessageW(tip_.Handle(), WM_SETFONT, static_cast<WPARAM>(Send(WM_GETFONT)), FALSE);
    ::MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&entry), 2);
    const LONG below = entry.bottom;
    entry.left += ::GetSystemMetrics(SM_CXEDGE);
    ::SendMessageW(tip_.Handle(), TTM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&entry));
    tip_.ShowAt(text, POINT{entry.left, below});
}

void ListBoxBackupList::Empty() {
    hovered_ = -1;
    tip_.Hide();
    Send(LB_RESETCONTENT);
    widest_ = 0;
    Send(LB_SETHORIZONTALEXTENT, 0);
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
    Empty();
    Send(LB_INITSTORAGE, wide.size(), static_cast<LPARAM>(chars * sizeof(wchar_t)));
    for (const std::wstring& text : wide) {
        Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    Widen(wide);
    Send(WM_SETREDRAW, TRUE);
    ::InvalidateRect(list_, nullptr, TRUE);
}

// The horizontal scroll bar reaches the end of the widest name.
void ListBoxBackupList::Widen(const std::vector<std::wstring>& texts) {
    const int width = WidestText(texts);
    if (width > widest_) {
        widest_ = width;
        Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_));
    }
}

int ListBoxBackupList::TextWidth(const std::wstring& text) const {
    return WidestText({text});
}

int ListBoxBackupList::WidestText(const std::vector<std::wstring>& texts) const {
    const HDC dc = ::GetDC(list_);
    if (!dc) {
        return 0;
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
    return widest + 2 * ::GetSystemMetrics(SM_CXEDGE);
}

int ListBoxBackupList::Count() const {
    return static_cast<int>(Send(LB_GETCOUNT));
}

std::wstring ListBoxBackupList::WideText(int index) const {
    const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return text;
}

std::string ListBoxBackupList::Text(int index) const {
    return Narrow(WideText(index));
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
