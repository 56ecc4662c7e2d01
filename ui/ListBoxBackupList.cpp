#include "ListBoxBackupList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

namespace tsumugiya::ui {
namespace {

// Screen cells a UTF-8 name takes, roughly: characters of three or four
// bytes (kana, kanji, full-width forms) count two.
std::size_t Cells(const std::string& name) {
    std::size_t cells = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        cells += static_cast<std::size_t>((byte & 0xC0) != 0x80) + (byte >= 0xE0);
    }
    return cells;
}

// All rows take the size of the widest name (the view asks once, as its sizes
// are uniform), and an entry's whole name is its tooltip while the list's
// width cuts it off.
class BackupNameDelegate : public QStyledItemDelegate {
  public:
    BackupNameDelegate(const BackupNamesModel& names, QObject* parent)
        : QStyledItemDelegate(parent), names_(names) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QModelIndex widest = names_.index(names_.WidestRow());
        return QStyledItemDelegate::sizeHint(option, widest.isValid() ? widest : index);
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || !index.isValid()) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        // option.rect is the entry's row, as wide as the list; the name
        // takes its own width from the row's left edge.
        const int width = QStyledItemDelegate::sizeHint(option, index).width();
        const QRect visible = view->viewport()->rect();
        if (option.rect.left() < visible.left() ||
            option.rect.left() + width > visible.right() + 1) {
            QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(),
                               view->viewport(), option.rect);
        } else {
            QToolTip::hideText();
        }
        return true;
    }

  private:
    const BackupNamesModel& names_;
};

}  // namespace

void BackupNamesModel::Assign(std::vector<std::string> names) {
    beginResetModel();
    names_ = std::move(names);
    widestRow_ = 0;
    widestCells_ = 0;
    for (int row = 0; row < rowCount(); ++row) {
        Measure(row);
    }
    endResetModel();
}

void BackupNamesModel::Measure(int row) {
    const std::size_t cells = Cells(Name(row));
    if (cells > widestCells_) {
        widestCells_ = cells;
        widestRow_ = row;
    }
}

int BackupNamesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant BackupNamesModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return QVariant();
    }
    const std::string& name = Name(index.row());
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

ListBoxBackupList::ListBoxBackupList(QListView& list)
    : list_(list), names_(*new BackupNamesModel(&list)) {
    QAbstractItemModel* empty = list_.model();
    list_.setModel(&names_);
    if (empty && empty->parent() == &list_) {
        delete empty;
    }
    list_.setItemDelegate(new BackupNameDelegate(names_, &list_));
    list_.setUniformItemSizes(true);
}

void ListBoxBackupList::Assign(std::vector<std::string> texts) {
    names_.Assign(std::move(texts));
}

std::string ListBoxBackupList::Text(int index) const {
    return index >= 0 && index < Count() ? names_.Name(index) : std::string();
}

int ListBoxBackupList::SelectedCount() const {
    return static_cast<int>(list_.selectionModel()->selectedRows().size());
}

std::vector<int> ListBoxBackupList::SelectedIndices(int max) const {
    std::vector<int> indices;
    for (const QModelIndex& row : list_.selectionModel()->selectedRows()) {
        indices.push_back(row.row());
    }
    std::sort(indices.begin(), indices.end());
    if (static_cast<int>(indices.size()) > max) {
        indices.resize(static_cast<std::size_t>(std::max(max, 0)));
    }
    return indices;
}

void ListBoxBackupList::Select(int index) {
    const QModelIndex model = names_.index(index);
    if (!model.isValid()) {
        return;
    }
    list_.selectionModel()->select(model, QItemSelectionModel::Select);
    // The keyboard continues from the selected entry, which comes into view.
    list_.selectionModel()->setCurrentIndex(model, QItemSelectionModel::NoUpdate);
    list_.scrollTo(model);
}

}  // namespace tsumugiya::ui
