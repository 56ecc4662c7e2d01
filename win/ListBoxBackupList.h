#pragma once

#include <windows.h>

#include "BackupList.h"

namespace tsumugiya::win {

// The backup list box as the catalogue sees it: one list box message per
// operation, UTF-16 in the control.
class ListBoxBackupList : public BackupList {
  public:
    void Attach(HWND list) { list_ = list; }

    void Clear() override;
    void Append(const std::string& text) override;
    int Count() const override;
    std::string Text(int index) const override;
    int SelectedCount() const override;
    std::vector<int> SelectedIndices(int max) const override;
    void Select(int index) override;

  private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(list_, message, wParam, lParam);
    }
    // Lets the horizontal scroll bar reach the end of the widest name.
    void Widen(const std::wstring& text);

    HWND list_ = nullptr;
    int widest_ = 0;
};

}  // namespace tsumugiya::win
