#include "gui/reading/display_settings.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include "gui/widgets/colors.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {

QFont FontOfGroup(const FontGroup& group, const QFont& base) {
  QFont font = base;
  const QString face = FromSjis(group.font_name);
  if (!face.isEmpty()) {
    // Faces of the Windows program are seldom installed elsewhere; Japanese
    // faces follow so that the texts still show in a proportional Gothic face.
    QStringList families{face};
    for (const char* fallback : {"IPAPGothic", "VL PGothic", "Noto Sans CJK JP", "TakaoPGothic", "IPAexGothic"}) {
      families << QString::fromLatin1(fallback);
    }
    font.setFamilies(families);
  }
  if (group.font_size >= 1) font.setPointSize(group.font_size);
  return font;
}

void ApplyFontGroup(QWidget* view, const FontGroup& group) {
  QPalette palette = view->palette();
  const QColor back = ColorFromStoredText(group.back_color);
  const QColor text = ColorFromStoredText(group.font_color);
  const QPalette defaults = QApplication::palette(view);
  for (const QPalette::ColorGroup cg : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(cg, QPalette::Base, back.isValid() ? back : defaults.color(cg, QPalette::Base));
    palette.setColor(cg, QPalette::Text, text.isValid() ? text : defaults.color(cg, QPalette::Text));
  }
  view->setPalette(palette);
  view->setFont(FontOfGroup(group, QApplication::font(view)));
}

}  // namespace tobrisk::gui
