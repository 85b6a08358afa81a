#include "gui/boards/board_grids.h"

#include <QTableView>

#include "core/text/sjis.h"

namespace tobrisk::gui {
namespace {

std::string BoardCell(const BoardEntry& b, int column) {
  switch (column) {
    case 0: return b.seq_no;
    case 1: return b.board_type;
    case 2: return b.board_no;
    case 3: return b.board_name;
  }
  return {};
}

std::string MailRowCell(int column) {
  static const std::string mail_box = Sjis("新着メール");
  switch (column) {
    case 0: return "0";
    case 1: return "MAIL";
    case 2: return "M";
    case 3: return mail_box;
  }
  return {};
}

QStringList BoardHeaders() {
  return {QString(), QStringLiteral("Type"), QStringLiteral("No"), QString::fromUtf8("ボード名")};
}

}  // namespace

ListGridModel* MakeBoardGridModel(const BoardList& boards, bool mail_row, QObject* parent) {
  if (mail_row) {
    // The mail row belongs to the board list: it is shown only when there are boards.
    return new ListGridModel(
        BoardHeaders(), [&boards] { return boards.empty() ? size_t{0} : boards.size() + 1; },
        [&boards](size_t row, int column) {
          return row == 0 ? MailRowCell(column) : BoardCell(boards[row - 1], column);
        },
        parent);
  }
  return new ListGridModel(
      BoardHeaders(), [&boards] { return boards.size(); },
      [&boards](size_t row, int column) { return BoardCell(boards[row], column); }, parent);
}

ListGridModel* MakeUserGridModel(const UserList& users, QObject* parent) {
  return new ListGridModel(
      {QString(), QStringLiteral("ID"), QString::fromUtf8("ハンドル名")}, [&users] { return users.size(); },
      [&users](size_t row, int column) -> std::string {
        const UserEntry& u = users[row];
        switch (column) {
          case 0: return u.seq_no;
          case 1: return u.user_id;
          case 2: return u.handle_name;
        }
        return {};
      },
      parent);
}

}  // namespace tobrisk::gui

namespace tobrisk::gui {

void FitBoardGridColumns(QTableView* view) {
  FitColumn(view, 1, 34, {QStringLiteral("LBBS"), QStringLiteral("IBBS"), QStringLiteral("MAIL")});
  FitColumn(view, 2, 23, {QStringLiteral("0000")});
}

void FitUserGridColumns(QTableView* view) { FitColumn(view, 1, 34, {QStringLiteral("00000")}); }

}  // namespace tobrisk::gui
