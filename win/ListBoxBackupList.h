#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "BackupList.h"

namespace tsumugiya::win {

// The backup list box as the catalogue sees it: list box messages, UTF-16
// in the control.
class ListBoxBackupList : public BackupList {
  public:
    void Attach(HWND list) { list_ = list; }

    void Clear() override;
    void Append(const std::string& text) override;
    void Assign(std::vector<std::string> texts) override;
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
    void Widen(const std::vector<std::wstring>& texts);

    HWND list_ = nullptr;
    int widest_ = 0;
};

}  // namespace tsumugiya::win
