// The message keys of the list and of the text view: typed characters without
// Ctrl, Alt or Meta (the keypad's digits count as digits).
#pragma once

#include <QKeyEvent>

namespace tobrisk::gui {

struct MessageKey {
  bool next = false;      // Enter or "2"
  bool previous = false;  // Backspace or "8"
  bool reply = false;     // "R" or "r"
  bool move = false;      // "M" or "m"
  bool space = false;     // Space (the list only)

  bool Any() const { return next || previous || reply || move || space; }
};

inline MessageKey ReadMessageKey(const QKeyEvent* key, bool with_space) {
  MessageKey k;
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return k;
  const QString typed = key->text();
  k.next = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || typed == u'2';
  k.previous = key->key() == Qt::Key_Backspace || typed == u'8';
  k.reply = typed == u'R' || typed == u'r';
  k.move = typed == u'M' || typed == u'm';
  k.space = with_space && key->key() == Qt::Key_Space;
  return k;
}

}  // namespace tobrisk::gui
