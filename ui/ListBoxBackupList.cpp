#include "ListBoxBackupList.h"

#include <QItemSelectionModel>

namespace tsumugiya::ui {
namespace {

constexpr int kNameBytesRole = Qt::UserRole;

}  // namespace

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
