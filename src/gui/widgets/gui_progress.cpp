#include "gui/widgets/gui_progress.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {

GuiProgress::GuiProgress(QProgressBar* bar, QLabel* label) : bar_(bar), label_(label) { since_pump_.start(); }

void GuiProgress::Show() {
  position_ = 0;
  bar_->setValue(0);
  bar_->setVisible(true);
  Pump();
}

void GuiProgress::Hide() {
  bar_->setVisible(false);
  bar_->setValue(0);
}

void GuiProgress::SetLabel(std::string_view sjis) {
  label_->setText(FromSjis(sjis));
  Pump();
}

void GuiProgress::Step(int position) {
  // Reading the clock costs more than a short line: while the position stays,
  // look at it only every 64 steps.
  const bool moved = position != position_;
  position_ = position;
  if (!moved && (++steps_ & 63) != 0) return;
  if (since_pump_.elapsed() < kPumpIntervalMs) return;
  bar_->setValue(position_);
  Pump();
}

void GuiProgress::Pump() {
  // Only repaints and timers: the user's clicks and keys wait until the long
  // step is over, so no command can change the work state under it.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  since_pump_.restart();
}

}  // namespace tobrisk::gui
