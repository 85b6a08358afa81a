#include "gui/boards/TfrmSelectMoveBoard.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/boards/board_grids.h"
#include "core/text/bytes.h"
#include "gui/widgets/window_placement.h"

namespace tobrisk::gui {

TfrmSelectMoveBoard::TfrmSelectMoveBoard(const BoardList& boards, SettingsStore& store, QWidget* parent)
    : QDialog(parent), boards_(boards), store_(store) {
  setObjectName("TfrmSelectMoveBoard");
  setWindowTitle(QString::fromUtf8("ボード選択"));
  setModal(true);

  model_ = MakeBoardGridModel(boards_, false, this);
  MoveBoardGrid = new QTableView(this);
  MoveBoardGrid->setModel(model_);
  SetUpGrid(MoveBoardGrid, "MoveBoardGrid", kBoardGridWidths);
  FitBoardGridColumns(MoveBoardGrid);
  KeepLastColumnFilling(MoveBoardGrid);
  MoveBoardGrid->installEventFilter(this);
  connect(MoveBoardGrid, &QTableView::doubleClicked, this, &QDialog::accept);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("OKButton");
  ok->setAutoDefault(false);
  auto* cancel = new QPushButton(QString::fromUtf8("ｷｬﾝｾﾙ"), this);
  cancel->setObjectName("CancelButton");
  cancel->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects as well

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MoveBoardGrid, 1);
  layout->addLayout(buttons);

  // 210 pixels wide unless the font needs more for a board name of the host's
  // twenty bytes.
  const int name_width = MoveBoardGrid->fontMetrics().horizontalAdvance(QString(10, QChar(0x5168))) + 16;
  const int needed = MoveBoardGrid->columnWidth(1) + MoveBoardGrid->columnWidth(2) + name_width +
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * MoveBoardGrid->frameWidth() +
                     layout->contentsMargins().left() + layout->contentsMargins().right();
  resize(std::max(210, needed), 510);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  RestoreWindowPlacement(this, store_, SelectMoveBoardFormPosition());
}

TfrmSelectMoveBoard::~TfrmSelectMoveBoard() {
  try {
    SaveWindowPlacement(this, store_, SelectMoveBoardFormPosition());
  } catch (...) {
    // The placement is a convenience; a store that cannot be written at exit
    // must not take the program down.
  }
}

int TfrmSelectMoveBoard::Choose() {
  model_->Refresh();
  SelectGridRow(MoveBoardGrid, 0);
  MoveBoardGrid->setFocus();
  if (exec() != QDialog::Accepted) return -1;
  int32_t seq_no = 0;
  if (!ParseDecimal(model_->Cell(CurrentGridRow(MoveBoardGrid), 0), seq_no)) return -1;
  return seq_no;
}

bool TfrmSelectMoveBoard::eventFilter(QObject* watched, QEvent* event) {
  if (watched == MoveBoardGrid && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tobrisk::gui
