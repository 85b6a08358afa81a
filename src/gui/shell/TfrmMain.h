// The main frame: menus, toolbars, the status panel with the progress display,
// and the multiple-document area holding the board/user and message windows.
#pragma once

#include <QMainWindow>

#include "ingest/work_state.h"
#include "ports/ports.h"

class QMdiArea;
class QProgressBar;
class QLabel;

namespace tobrisk::gui {

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  // `ports` must outlive the window.
  explicit TfrmMain(Ports ports, QWidget* parent = nullptr);
  ~TfrmMain() override;

  WorkState& State() { return state_; }
  QMdiArea* MdiArea() const { return mdi_; }

 private:
  Ports ports_;
  WorkState state_;
  QMdiArea* mdi_ = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* ProgressLabel = nullptr;
};

}  // namespace tobrisk::gui
