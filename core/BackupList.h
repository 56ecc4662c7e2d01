#pragma once

#include <string>
#include <vector>

namespace tsumugiya {

// The operations the catalogue needs from a list that shows backup
// names and lets the user select several of them.
class BackupList {
  public:
    virtual ~BackupList() = default;
    // Replaces every entry in one go: a list of many thousands is not
    // redrawn once per entry.
    virtual void Assign(std::vector<std::string> texts) = 0;
    void Clear() { Assign({}); }
    virtual int Count() const = 0;
    virtual std::string Text(int index) const = 0;
    virtual int SelectedCount() const = 0;
    // Indices of the first max selected entries, ascending.
    virtual std::vector<int> SelectedIndices(int max) const = 0;
    virtual void Select(int index) = 0;
};

// A list kept in memory, for front-ends without a list control.
class MemoryBackupList : public BackupList {
  public:
    void Append(const std::string& text) {
        texts_.push_back(text);
        selected_.push_back(false);
    }
    void Assign(std::vector<std::string> texts) override {
        texts_ = std::move(texts);
        selected_.assign(texts_.size(), false);
    }
    int Count() const override { return static_cast<int>(texts_.size()); }
    std::string Text(int index) const override { return texts_.at(index); }
    int SelectedCount() const override;
    std::vector<int> SelectedIndices(int max) const override;
    void Select(int index) override;
    void Deselect(int index);

  private:
    std::vector<std::string> texts_;
    std::vector<bool> selected_;
};

}  // namespace tsumugiya
