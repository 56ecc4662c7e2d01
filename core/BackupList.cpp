#include "BackupList.h"

#include <algorithm>

namespace tsumugiya {

int MemoryBackupList::SelectedCount() const {
    return static_cast<int>(std::count(selected_.begin(), selected_.end(), true));
}

std::vector<int> MemoryBackupList::SelectedIndices(int max) const {
    std::vector<int> indices;
    for (int i = 0; i < Count() && static_cast<int>(indices.size()) < max; ++i) {
        if (selected_[i]) {
            indices.push_back(i);
        }
    }
    return indices;
}

void MemoryBackupList::Select(int index) {
    if (index >= 0 && index < Count()) {
        selected_[index] = true;
    }
}

void MemoryBackupList::Deselect(int index) {
    if (index >= 0 && index < Count()) {
        selected_[index] = false;
    }
}

}  // namespace tsumugiya
