// What offline writing needs of the windows: the board chooser, the net
// selector, the new mark of the message answered, the write grid, the
// up-text command and a plain message box. The desktop program implements it;
// tests record the calls.
#pragma once

#include <cstddef>
#include <string_view>

namespace tobrisk {

// Where a reply command came from: the message list or the message tree.
enum class ReplyOrigin { List, Tree };

class WritingView {
 public:
  virtual ~WritingView() = default;

  // Shows the board chooser modally; the SeqNo of the board picked, or -1.
  virtual int ChooseMoveBoard() = 0;
  // The net selector of the board and user window.
  virtual void SetNetSelectorEnabled(bool enabled) = 0;
  // Shows the replied mark ("●") just given to the message where the command
  // came from: the "読" cell of the list row, or the icon of the tree node.
  virtual void ShowRepliedMark(size_t message_index, ReplyOrigin origin) = 0;

  // The write grid: a new last row for the entry, the entry's row rewritten
  // (all but column "削"), column "削" set or emptied, back to one empty row.
  virtual void AddWriteRow(size_t write_index) = 0;
  virtual void RefreshWriteRow(size_t write_index) = 0;
  virtual void ShowDeletedMark(size_t write_index, bool deleted) = 0;
  virtual void ClearWriteGrid() = 0;
  // Shows the entry's composition file in the message view pane.
  virtual void ShowWrittenMessage(size_t write_index) = 0;

  // The up-text command (the tool button "アップテキスト出力").
  virtual void SetUpTextEnabled(bool enabled) = 0;
  // A plain message box: no beep, no icon (Shift-JIS text).
  virtual void ShowPlainMessage(std::string_view text) = 0;
};

}  // namespace tobrisk
