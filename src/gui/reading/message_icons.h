// The eight images of the message tree and of the tree's mark menu, by image
// number: 0 message without mark, 1 replied, 2 board, 3 read, 4 the message
// root, 5 mail, 6 the mail root, 7 checked.
#pragma once

#include <QIcon>

namespace tobrisk::gui {

inline constexpr int kImageUnread = 0;
inline constexpr int kImageReplied = 1;
inline constexpr int kImageBoard = 2;
inline constexpr int kImageRead = 3;
inline constexpr int kImageMessageRoot = 4;
inline constexpr int kImageMail = 5;
inline constexpr int kImageMailRoot = 6;
inline constexpr int kImageChecked = 7;
inline constexpr int kImageCount = 8;

// The image (16 × 16, drawn once); an empty icon for numbers outside 0..7.
const QIcon& MessageImage(int image);

}  // namespace tobrisk::gui
