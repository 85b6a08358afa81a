#include "gui/writing/editor_busy.h"

#include <string>

#include "core/reading/work_state.h"
#include "core/ports/prompter.h"
#include "core/text/sjis.h"

namespace tobrisk::gui {

bool RefusedWhileEditorBusy(const WorkState& state, Prompter& prompter) {
  static const std::string text = Sjis(
      "エディタでメッセージを作成中です。\n\r"
      "エディタを終了してから、もう一度行って下さい。");
  if (!state.editor_busy) return false;
  prompter.Error(text);
  return true;
}

}  // namespace tobrisk::gui
