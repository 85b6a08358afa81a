// The three grids over the board list and the user list: the board grid (mail
// row first), the user grid and the board chooser's grid (no mail row).
#pragma once

#include "core/boards/board_entry.h"
#include "gui/widgets/list_grid.h"

namespace tobrisk::gui {

// Columns: 0 SeqNo (hidden), 1 "Type", 2 "No", 3 "ボード名". With `mail_row` the
// first row is the mail box ("0", "MAIL", "M", "新着メール") and board i is row
// i + 1; without it board i is row i. An empty list shows one empty row.
ListGridModel* MakeBoardGridModel(const BoardList& boards, bool mail_row, QObject* parent);

// Columns: 0 SeqNo (hidden), 1 "ID", 2 "ハンドル名".
ListGridModel* MakeUserGridModel(const UserList& users, QObject* parent);

// Column widths from the grid's font: the code columns wide enough for their
// texts, the name column filling the rest of the width.
void FitBoardGridColumns(QTableView* view);
void FitUserGridColumns(QTableView* view);

// Initial column widths of the board grids and the user grid.
inline constexpr std::initializer_list<int> kBoardGridWidths = {0, 34, 23, 139};
inline constexpr std::initializer_list<int> kUserGridWidths = {0, 34, 163};

}  // namespace tobrisk::gui
