#pragma once

#include <QListWidget>

#include "BackupList.h"

namespace tsumugiya::ui {

// The backup list control as the catalogue sees it. Each entry keeps the
// file name's own bytes beside its display text, so a name that is not
// valid UTF-8 still leads back to exactly that file.
class ListBoxBackupList : public BackupList {
  public:
    // Gives the list a tooltip with the whole name of an entry it cuts off.
    explicit ListBoxBackupList(QListWidget& list);

    void Clear() override;
    void Append(const std::string& text) override;
    int Count() const override;
    std::string Text(int index) const override;
    int SelectedCount() const override;
    std::vector<int> SelectedIndices(int max) const override;
    void Select(int index) override;

  private:
    QListWidget& list_;
};

}  // namespace tsumugiya::ui
