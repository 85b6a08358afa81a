#include "gui/widgets/gui_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "core/text/sjis.h"

namespace tobrisk::gui {

QString FromSjis(std::string_view sjis) {
  QString s = QString::fromStdString(SjisToUtf8(sjis));
  s.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  return s;
}

std::string ToSjis(const QString& text) { return Utf8ToSjis(text.toStdString()); }

void GuiPrompter::Beep() { QApplication::beep(); }

void GuiPrompter::Error(std::string_view text) {
  Beep();
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8("ｴﾗｰ"), FromSjis(text), QMessageBox::Ok, parent_);
  box.setObjectName("ErrorBox");
  box.exec();
}

void GuiPrompter::Info(std::string_view text) {
  Beep();
  QMessageBox box(QMessageBox::Information, QString::fromUtf8("情報"), FromSjis(text), QMessageBox::Ok, parent_);
  box.setObjectName("InfoBox");
  box.exec();
}

Answer GuiPrompter::Confirm(std::string_view text, Answer default_answer) {
  Beep();
  QMessageBox box(QMessageBox::Question, QString::fromUtf8("確認"), FromSjis(text), QMessageBox::NoButton, parent_);
  box.setObjectName("ConfirmBox");
  QPushButton* yes = box.addButton(QString::fromUtf8("はい(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QString::fromUtf8("いいえ(&N)"), QMessageBox::NoRole);
  QPushButton* cancel = box.addButton(QString::fromUtf8("ｷｬﾝｾﾙ"), QMessageBox::RejectRole);
  box.setDefaultButton(default_answer == Answer::Yes ? yes : default_answer == Answer::No ? no : cancel);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == yes) return Answer::Yes;
  if (box.clickedButton() == no) return Answer::No;
  return Answer::Cancel;
}

}  // namespace tobrisk::gui
