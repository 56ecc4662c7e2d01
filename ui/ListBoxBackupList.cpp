#include "ListBoxBackupList.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace tsumugiya::ui {
namespace {

constexpr int kNameBytesRole = Qt::UserRole;

// Names an entry in full as its tooltip while the list's width cuts it off;
// one that shows whole needs no tip.
class WholeNameTips : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || !index.isValid()) {
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        }
        // option.rect is the entry's row, as wide as the list; the name
        // takes its size hint's width from the row's left edge.
        const int width = sizeHint(option, index).width();
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
};

}  // namespace

ListBoxBackupList::ListBoxBackupList(QListWidget& list) : list_(list) {
    list_.setItemDelegate(new WholeNameTips(&list_));
}

void ListBoxBackupList::Clear() {
    list_.clear();
}

void ListBoxBackupList::Append(const std::string& text) {
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    auto* item = new QListWidgetItem(QString::fromUtf8(bytes));
    item->setData(kNameBytesRole, bytes);
    list_.addItem(item);
}

int ListBoxBackupList::Count() const {
    return list_.count();
}

std::string ListBoxBackupList::Text(int index) const {
    const QListWidgetItem* item = list_.item(index);
    return item ? item->data(kNameBytesRole).toByteArray().toStdString() : std::string();
}

int ListBoxBackupList::SelectedCount() const {
    return static_cast<int>(list_.selectionModel()->selectedRows().size());
}

std::vector<int> ListBoxBackupList::SelectedIndices(int max) const {
    std::vector<int> indices;
    for (int row = 0; row < list_.count() && static_cast<int>(indices.size()) < max; ++row) {
        if (list_.item(row)->isSelected()) {
            indices.push_back(row);
        }
    }
    return indices;
}

void ListBoxBackupList::Select(int index) {
    const QModelIndex model = list_.model()->index(index, 0);
    if (!model.isValid()) {
        return;
    }
    list_.selectionModel()->select(model, QItemSelectionModel::Select);
    // The keyboard continues from the selected entry, which comes into view.
    list_.selectionModel()->setCurrentIndex(model, QItemSelectionModel::NoUpdate);
    list_.scrollTo(model);
}

}  // namespace tsumugiya::ui
