// The eight images of the message tree and of the tree's mark menu, drawn for
// the tree's icon numbers (TreeIcon in core/reading/message_tree.h).
#pragma once

#include <QIcon>

#include "core/reading/message_tree.h"

namespace tobrisk::gui {

// The image (16 × 16, drawn once); an empty icon for numbers outside 0..7.
const QIcon& MessageImage(int icon);

}  // namespace tobrisk::gui
