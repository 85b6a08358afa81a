// Message boxes for the Prompter port: the system beep, then a modal box with
// the program's captions and buttons.
#pragma once

#include <QWidget>
#include <functional>

#include "core/ports/prompter.h"

namespace tobrisk::gui {

class GuiPrompter final : public Prompter {
 public:
  explicit GuiPrompter(QWidget* parent_window = nullptr) : parent_(parent_window) {}
  void SetParent(QWidget* parent_window) { parent_ = parent_window; }

  void Error(std::string_view text) override;
  void Info(std::string_view text) override;
  Answer Confirm(std::string_view text, Answer default_answer = Answer::Yes) override;
  void Beep() override;

 private:
  QWidget* parent_;
};

// The program's own texts, written in UTF-8 in the source, as a QString.
inline QString Utf(const char* utf8) { return QString::fromUtf8(utf8); }
// Shift-JIS bytes to a QString for display ("\n\r" pairs become one line break).
QString FromSjis(std::string_view sjis);
// A QString typed by the user back to Shift-JIS bytes.
std::string ToSjis(const QString& text);

}  // namespace tobrisk::gui
