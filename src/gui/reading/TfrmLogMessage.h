// The message window: the message list, the reply tree and the write list in a
// page control above, the text of the selected message below. Each page owns
// its grid or tree, its pop-up menu and its keys (message_list_page,
// message_tree_page, writing/write_page); the window keeps the splitter, the
// text view, the search, the toolbar's navigation and the marks that both
// pages show. Every row and node points into the work state's message list;
// the window keeps no copy of it.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/reading/work_state.h"
#include "core/ports/ports.h"
#include "gui/reading/message_menu_state.h"
#include "core/writing/writing_view.h"

class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QTableView;

namespace tobrisk::gui {

class MessageListPage;
class MessageTreePage;
class MessageTextSearch;
class WritePage;

class TfrmLogMessage : public QWidget {
  Q_OBJECT

 public:
  // `state` and the ports must outlive the window.
  TfrmLogMessage(WorkState& state, const Ports& ports, QWidget* parent = nullptr);
  ~TfrmLogMessage() override;

  // ---- called by the log open pipeline and the main frame ----
  // Empties the grid to one empty data row (only while the message list still
  // holds entries, as the open pipeline expects).
  void ClearMessageGrid();
  // One row per entry in list order (board column with the warning prefix).
  // Does nothing when the message list is empty.
  void FillMessageGrid();
  // One row per entry of the board; "LBBS" stands for "IBBS", "M" for "-100".
  // Returns the rows written; 0 at once (grid untouched) when the list is empty.
  int FillBoardMessageGrid(std::string_view board_type, std::string_view board_no);
  // Empties the tree page (selection first, then all nodes).
  void ClearMessageTree();
  // Shows the message tree of the work state (built by BuildMessageTree).
  void FillMessageTree();
  // The rest of a long list's tree (MessageTreePage::CompleteTree).
  void CompleteMessageTree();
  // Window title in Shift-JIS ("メッセージ" or "メッセージ [ a.log ]"); `shown`,
  // when given, is the caption on screen (file names decoded as the file system
  // names them), while Title() keeps the bytes.
  void SetTitle(const std::string& sjis, const QString& shown = QString());
  const std::string& Title() const { return title_sjis_; }
  // AllPanel and NowPanel.
  void SetCounters(int64_t all_count, int64_t now_row);
  // Empties the text view.
  void ClearMessageText();
  // Page after a log open: 0 the list page (with the first row shown when there
  // are messages), 1 the tree page with its first message, other values nothing.
  void ShowOpenPage(int open_page);
  // Reads the text of message `index` (0-based) from NOESC.LOG into the view.
  // A failed read is reported through the prompter and leaves the view empty.
  void ShowMessageText(size_t index);

  // ---- filter modes ----
  // The board window's double click: the board's messages, "ボード単位" checked,
  // BoardNamePanel with the name (trailing blanks removed), the list page shown.
  // Returns the number of rows listed.
  int FilterByBoard(std::string_view board_type, std::string_view board_no, std::string_view board_name_sjis);
  // The "全件" button.
  void ShowAllMessages();

  // ---- display ----
  // Applies the LogMessageList, WriteMessageList and MessageView display groups
  // of the settings (colours and fonts); run at creation and after the
  // properties dialog was confirmed.
  void ApplyDisplaySettings();
  // Redraws the marks of both pages after a mark changed elsewhere; the tree's
  // message icons follow the marks.
  void RefreshMarks();
  // A reply or moved reply started (the writing side decides when): the message
  // becomes replied ("●") and both pages show it.
  void MarkReplied(size_t message_index, ReplyOrigin origin);

  // The enabling of the main menu's eight message commands for the control that
  // has the input focus (any window of the program).
  MessageMenuState UpdateMessageMenu() const;

  // Puts Shift-JIS text (CR LF line ends) into the text view in one step (the
  // write page shows a written message's file this way).
  void ShowText(std::string_view sjis);

  // ---- the write page ----
  QTableView* WriteGridView() const;
  // Entry `write_index` of the write list as the grid's new last row.
  void AddWriteRow(size_t write_index);
  // The entry's row as the entry is now (title, "削" column).
  void RefreshWriteRow(size_t write_index);
  // Back to the header and one empty row (before the write list is emptied).
  void ClearWriteGrid();
  // The entry's whole composition file in the text view; a file that cannot be
  // read is reported and leaves the view empty.
  void ShowWrittenMessage(size_t write_index);
  // The write-list index of the write grid's selected row, or -1.
  int SelectedWriteEntry() const;

  // The message index (0-based) of the selected list row / tree node, or -1.
  int SelectedListMessage() const;
  int SelectedTreeMessage() const;
  // The message whose text is shown: the tree's on the tree page, else the list's; -1 none.
  int ShownMessage() const;

 public slots:
  // ---- the message toolbar ----
  void MessageTopButtonClick();
  void MessageUpButtonClick();
  void MessageDownButtonClick();
  void MessageLastButtonClick();
  void FindNoReadButtonClick();
  void FindAlreadyButtonClick();
  void FindAlreadyResButtonClick();
  void FindAlreadyCheckButtonClick();

  // ---- handlers of the form ----
  void PageControl1Change(int page);
  void FormResize();

  // ---- text search over the opened messages (title, writer, body) ----
  void ShowTextSearch();    // Ctrl+F
  void FindTextNext();      // F3
  void FindTextPrevious();  // Shift+F3

 signals:
  // A read mark was set or cleared (the frame saves the marks soon after).
  void ReadMarksChanged();
  // Reply commands for the writing side; `index` is the 0-based message index.
  void ResMessageRequested(int index, tobrisk::ReplyOrigin from);
  void ResMailRequested(int index, tobrisk::ReplyOrigin from);
  void MoveResMessageRequested(int index, tobrisk::ReplyOrigin from);
  // The write grid's pop-up: "編集(&R)", "削除(&D)", "復活(&R)" for the entry
  // at `write_index` (0-based).
  void EditMessageRequested(int write_index);
  void DeleteMessageRequested(int write_index);
  void ReviveMessageRequested(int write_index);
  // "テキストで保存..." of the list pop-up (the message) and the tree pop-up (its thread).
  void SaveTextRequested(int index, bool thread);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // The text view's message keys.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ConnectPages();
  void ActivatePage(int page);  // without the page-change handler
  bool TreePageActive() const;
  bool ListPageActive() const;
  // The text of a message a page chose (-1: the view empties).
  void ShowChosenMessage(int index);

  void StepMessage(int step);  // previous (-1) / next (+1)
  void FindNextByMark(int icon);
  void FindText(bool forward);

  // Marks: the store and the entry through SetReadMark; both pages follow.
  void SetMark(size_t index, std::string_view mark);

  WorkState& state_;
  Ports ports_;
  std::string title_sjis_;
  bool searching_ = false;

  QTabWidget* PageControl1 = nullptr;
  MessageListPage* list_page_ = nullptr;
  MessageTreePage* tree_page_ = nullptr;
  WritePage* write_page_ = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QWidget* MessageListPanel = nullptr;
  QSplitter* Splitter = nullptr;
  QWidget* MessagePanel = nullptr;
  MessageTextSearch* search_ = nullptr;
};

}  // namespace tobrisk::gui
