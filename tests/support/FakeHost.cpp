#include "support/FakeHost.h"

#include <gtest/gtest.h>

namespace tsumugiya::test {

void FakeHost::SelectOnly(const std::vector<std::string>& texts) {
    for (int i = 0; i < list.Count(); ++i) {
        list.Deselect(i);
    }
    for (const std::string& text : texts) {
        int found = -1;
        for (int i = 0; i < list.Count(); ++i) {
            found = list.Text(i) == text ? i : found;
        }
        ASSERT_NE(found, -1) << text << " is not listed";
        list.Select(found);
    }
}

bool FakeHost::AskOkCancel(std::string_view text) {
    log_.push_back("Ask " + std::string(text));
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace tsumugiya::test
