#include "boards/TfrmBoardUserList.h"

#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "boards/board_files.h"
#include "boards/board_grids.h"
#include "text/bytes.h"
#include "text/files.h"
#include "text/io_error.h"
#include "widgets/error_report.h"
#include "reading/display_settings.h"
#include "widgets/gui_prompter.h"

namespace tobrisk::gui {
namespace {

QTableView* MakeGrid(QWidget* parent, ListGridModel* model, const char* name, std::initializer_list<int> widths) {
  auto* view = new QTableView(parent);
  view->setModel(model);
  SetUpGrid(view, name, widths);
  // The name column takes the rest of the width.
  KeepLastColumnFilling(view);
  return view;
}

}  // namespace

TfrmBoardUserList::TfrmBoardUserList(WorkState& state, const Ports& ports, QWidget* parent)
    : QWidget(parent), state_(state), ports_(ports) {
  setObjectName("TfrmBoardUserList");
  setWindowTitle(QString::fromUtf8("ボード・ユーザ一覧"));

  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  connect(ComboBox1, &QComboBox::activated, this, &TfrmBoardUserList::ComboBox1Change);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName("TabSheet1");
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName("TabSheet2");
  PageControl1->addTab(TabSheet1, QString::fromUtf8("ボード"));
  PageControl1->addTab(TabSheet2, QString::fromUtf8("ユーザ"));

  board_model_ = MakeBoardGridModel(state_.boards, true, this);
  user_model_ = MakeUserGridModel(state_.users, this);
  BoardGrid = MakeGrid(TabSheet1, board_model_, "BoardGrid", kBoardGridWidths);
  UserGrid = MakeGrid(TabSheet2, user_model_, "UserGrid", kUserGridWidths);
  for (auto [sheet, grid] : {std::pair{TabSheet1, BoardGrid}, std::pair{TabSheet2, UserGrid}}) {
    auto* l = new QVBoxLayout(sheet);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(grid);
  }
  connect(BoardGrid, &QTableView::doubleClicked, this, &TfrmBoardUserList::BoardGridDblClick);
  connect(BoardGrid, &QWidget::customContextMenuRequested, this, &TfrmBoardUserList::BoardGridPopup);
  connect(UserGrid, &QWidget::customContextMenuRequested, this, &TfrmBoardUserList::UserGridPopup);

  BoardPopupMenu = new QMenu(this);
  BoardPopupMenu->setObjectName("BoardPopupMenu");
  KW1 = BoardPopupMenu->addAction(QString::fromUtf8("新規書き込み(&W)"), this, &TfrmBoardUserList::KW1Click);
  KW1->setObjectName("KW1");
  UserPopupMenu = new QMenu(this);
  UserPopupMenu->setObjectName("UserPopupMenu");
  K1 = UserPopupMenu->addAction(QString::fromUtf8("新規メール書き込み(&M)"), this, &TfrmBoardUserList::K1Click);
  K1->setObjectName("K1");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  layout->addWidget(ComboBox1);
  layout->addWidget(PageControl1, 1);
  resize(219, 476);

  ApplyDisplaySettings();
  FillNetChooser();
  ComboBox1Change();
}

void TfrmBoardUserList::FillNetEntries() {
  ComboBox1->clear();
  for (int i = 0; i < state_.nets.Count(); ++i) {
    const NetDefinition& net = state_.nets.At(i);
    if (net.RecognisesLogs()) ComboBox1->addItem(FromSjis(net.net_name), i);
  }
}

void TfrmBoardUserList::FillNetChooser() {
  FillNetEntries();
  SelectNet(state_.settings.default_net);
}

void TfrmBoardUserList::NetsEdited(int shown_net, const std::string& lists_header) {
  FillNetEntries();
  SelectNet(shown_net);
  const int net = SelectedNet();
  if (net >= 0 && state_.nets.At(net).log_header == lists_header) return;  // the grids show it still
  try {
    LoadLists(net);
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
}

int TfrmBoardUserList::SelectedNet() const {
  return ComboBox1->currentIndex() < 0 ? -1 : ComboBox1->currentData().toInt();
}

void TfrmBoardUserList::SelectNet(int index) {
  ComboBox1->setCurrentIndex(state_.nets.Contains(index) ? ComboBox1->findData(index) : -1);
}

void TfrmBoardUserList::SetNetSelectionEnabled(bool enabled) { ComboBox1->setEnabled(enabled); }

bool TfrmBoardUserList::NetSelectionEnabled() const { return ComboBox1->isEnabled(); }

void TfrmBoardUserList::FillBoardGrid() { board_model_->Refresh(); }

void TfrmBoardUserList::FillUserGrid() { user_model_->Refresh(); }

void TfrmBoardUserList::ClearGrids() {
  board_model_->Clear();
  user_model_->Clear();
}

void TfrmBoardUserList::ApplyDisplaySettings() {
  ApplyFontGroup(BoardGrid, state_.settings.Font(Display::BoardList));
  ApplyFontGroup(UserGrid, state_.settings.Font(Display::UserList));
  for (QTableView* grid : {BoardGrid, UserGrid}) {
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
  }
  FitBoardGridColumns(BoardGrid);
  FitUserGridColumns(UserGrid);
}

void TfrmBoardUserList::LoadLists(int net) {
  ClearGrids();
  state_.boards.clear();
  state_.users.clear();
  try {
    if (state_.nets.Contains(net)) {
      const std::string& header = state_.nets.At(net).log_header;
      if (FileExists(BoardFilePath(state_.work_dir, header))) {
        ReadBoardFile(state_.boards, state_.work_dir, header, *ports_.prompter);
      }
      if (FileExists(UserFilePath(state_.work_dir, header))) {
        ReadUserFile(state_.users, state_.work_dir, header, *ports_.prompter);
      }
    }
  } catch (...) {
    FillBoardGrid();
    FillUserGrid();
    throw;
  }
  FillBoardGrid();
  FillUserGrid();
}

void TfrmBoardUserList::ComboBox1Change() {
  const int index = SelectedNet();
  if (!state_.nets.Contains(index)) return;
  try {
    LoadLists(index);
    state_.settings.default_net = index;
    SaveSettings(state_.settings, *ports_.store);
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
}

void TfrmBoardUserList::BoardGridDblClick() {
  if (CurrentGridCell(BoardGrid, 0).empty() || state_.messages.Empty()) return;
  const std::string type = CurrentGridCell(BoardGrid, 1);
  const std::string no = CurrentGridCell(BoardGrid, 2);
  const std::string name = CurrentGridCell(BoardGrid, 3);
  emit BoardFilterRequested(QByteArray::fromStdString(type), QByteArray::fromStdString(no),
                            QByteArray::fromStdString(name));
}

void TfrmBoardUserList::BoardGridPopup(const QPoint& pos) {
  if (CurrentGridCell(BoardGrid, 0).empty() || CurrentGridCell(BoardGrid, 1) == "MAIL") return;
  BoardPopupMenu->popup(BoardGrid->viewport()->mapToGlobal(pos));
}

void TfrmBoardUserList::UserGridPopup(const QPoint& pos) {
  if (CurrentGridCell(UserGrid, 0).empty()) return;
  UserPopupMenu->popup(UserGrid->viewport()->mapToGlobal(pos));
}

void TfrmBoardUserList::KW1Click() {
  const std::string seq = CurrentGridCell(BoardGrid, 0);
  if (seq.empty() || CurrentGridCell(BoardGrid, 1) == "MAIL") return;
  int32_t seq_no = 0;
  if (ParseDecimal(seq, seq_no)) emit NewMessageRequested(seq_no);
}

void TfrmBoardUserList::K1Click() {
  const std::string seq = CurrentGridCell(UserGrid, 0);
  if (seq.empty()) return;
  int32_t seq_no = 0;
  if (ParseDecimal(seq, seq_no)) emit NewMailRequested(seq_no);
}

}  // namespace tobrisk::gui
