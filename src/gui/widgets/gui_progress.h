// The Progress port on the main frame's status panel: ProgressBar1 and
// ProgressLabel. Step is called once per line or entry of a long step, so it only
// repaints and pumps the event loop about every 16 ms.
#pragma once

#include <QElapsedTimer>

#include "core/ports/progress.h"

class QLabel;
class QProgressBar;

namespace tobrisk::gui {

class GuiProgress final : public Progress {
 public:
  GuiProgress(QProgressBar* bar, QLabel* label);

  void Show() override;
  void Hide() override;
  void SetLabel(std::string_view sjis) override;
  void Step(int position) override;

  // The interval between two repaints driven by Step.
  static constexpr qint64 kPumpIntervalMs = 16;

 private:
  void Pump();

  QProgressBar* bar_;
  QLabel* label_;
  QElapsedTimer since_pump_;
  int position_ = 0;
  unsigned steps_ = 0;
};

}  // namespace tobrisk::gui
