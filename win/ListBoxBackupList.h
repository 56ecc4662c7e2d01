#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "BackupList.h"
#include "Tooltip.h"

namespace tsumugiya::win {

// The backup list box as the catalogue sees it: one list box message per
// operation, UTF-16 in the control. The list scrolls sideways as far as the
// widest name, and names an entry it cuts off in full while the mouse rests
// on it.
class ListBoxBackupList : public BackupList {
  public:
    ListBoxBackupList() = default;
    ListBoxBackupList(const ListBoxBackupList&) = delete;
    ListBoxBackupList& operator=(const ListBoxBackupList&) = delete;
    ~ListBoxBackupList() override;

    void Attach(HWND dialog, HWND list);

    // The entries, UTF-16 in the control.
    void Assign(std::vector<std::string> texts) override;
    int Count() const override;
    std::string Text(int index) const override;
    // The selection: the list box's own, several entries at once.
    int SelectedCount() const override;
    std::vector<int> SelectedIndices(int max) const override;
    void Select(int index) override;

  private:
    static LRESULT CALLBACK ListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK TipProcedure(HWND tip, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(list_, message, wParam, lParam);
    }
    // Takes every entry out, and the tip and the sideways extent with them.
    void Empty();
    // Lets the horizontal scroll bar reach the end of the widest name.
    void Widen(const std::vector<std::wstring>& texts);
    std::wstring WideText(int index) const;
    // The width the list box draws this text in, margins included.
    int TextWidth(const std::wstring& text) const;
    int WidestText(const std::vector<std::wstring>& texts) const;
    // The mouse moved over entry (or off the entries, -1): a tip waits
    // until it rests.
    void OnMouseAt(int entry);
    void OnMouseRest();

    HWND list_ = nullptr;
    int widest_ = 0;
    Tooltip tip_;
    int hovered_ = -1;
};

}  // namespace tsumugiya::win
