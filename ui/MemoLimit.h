#pragma once

#include <QString>
#include <string>

namespace tsumugiya::ui {

// The most UTF-8 bytes a memo may take: it becomes part of a file name.
inline constexpr int kMemoMaxBytes = 255;

// The longest start of text that fits in maxBytes of UTF-8, never ending
// inside a character (a surrogate pair counts as one).
QString CutToUtf8Bytes(const QString& text, int maxBytes);

}  // namespace tsumugiya::ui
