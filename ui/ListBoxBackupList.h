#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <string>
#include <vector>

#include "BackupList.h"

namespace tsumugiya::ui {

// The backup names behind the list: the file names' own bytes, so a name that
// is not valid UTF-8 still leads back to exactly that file. Text is made only
// for the rows the view asks about, so many thousands cost no item objects.
class BackupNamesModel : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    void Assign(std::vector<std::string> names);
    const std::string& Name(int row) const { return names_[static_cast<std::size_t>(row)]; }
    // The row whose name likely shows widest: every row gets its size, so the
    // sideways scrolling reaches the end of the longest name.
    int WidestRow() const { return widestRow_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    void Measure(int row);

    std::vector<std::string> names_;
    int widestRow_ = 0;
    std::size_t widestCells_ = 0;
};

// The backup list control as the catalogue sees it.
class ListBoxBackupList : public BackupList {
  public:
    // Gives the list its model and a tooltip with the whole name of an entry
    // it cuts off.
    explicit ListBoxBackupList(QListView& list);

    void Assign(std::vector<std::string> texts) override;
    int Count() const override { return names_.rowCount(); }
    std::string Text(int index) const override;
    int SelectedCount() const override;
    std::vector<int> SelectedIndices(int max) const override;
    void Select(int index) override;

  private:
    QListView& list_;
    BackupNamesModel& names_;
};

}  // namespace tsumugiya::ui
