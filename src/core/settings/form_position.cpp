#include "core/settings/form_position.h"

#include "core/ports/settings_store.h"
#include "core/settings/app_settings.h"

namespace tobrisk {
namespace {

FormPositionOptions Options(std::string name, bool if_minimized, bool if_maximized) {
  FormPositionOptions o;
  o.form_name = std::move(name);
  o.if_minimized = if_minimized;
  o.if_maximized = if_maximized;
  return o;
}

}  // namespace

FormPositionOptions MainFormPosition() { return Options("TfrmMain", false, true); }
FormPositionOptions BoardUserListFormPosition() { return Options("TfrmBoardUserList", false, false); }
FormPositionOptions LogMessageFormPosition() { return Options("TfrmLogMessage", true, true); }
FormPositionOptions SelectMoveBoardFormPosition() { return Options("TfrmSelectMoveBoard", false, false); }
FormPositionOptions CompositionEditorFormPosition() { return Options("TfrmCompositionEditor", false, true); }

std::string FormSection(std::string_view form_name) { return "FormPosition/" + std::string(form_name); }

void SaveFormPlacement(SettingsStore& store, const FormPositionOptions& o, const WindowPlacement& w) {
  const std::string section = FormSection(o.form_name);
  const bool allow = w.state == WindowState::Minimized   ? o.if_minimized
                     : w.state == WindowState::Maximized ? o.if_maximized
                                                         : true;
  if (o.save_position && allow) {
    WriteRegInteger(store, section, "Left", w.left);
    WriteRegInteger(store, section, "Top", w.top);
  }
  if (o.save_size && allow) {
    WriteRegInteger(store, section, "Width", w.width);
    WriteRegInteger(store, section, "Height", w.height);
  }
  if (o.save_state) WriteRegInteger(store, section, "State", static_cast<int>(w.state));
}

RestoredPlacement RestoreFormPlacement(SettingsStore& store, const FormPositionOptions& o) {
  const std::string section = FormSection(o.form_name);
  RestoredPlacement r;
  auto positive = [&](std::string_view name) -> std::optional<int> {
    const int v = ReadRegInteger(store, section, name, -1);
    if (v > 0) return v;
    return std::nullopt;
  };
  if (o.save_position) {
    r.left = positive("Left");
    r.top = positive("Top");
  }
  if (o.save_size) {
    r.width = positive("Width");
    r.height = positive("Height");
  }
  if (o.save_state) {
    const int s = ReadRegInteger(store, section, "State", 1);
    if (s >= 0 && s <= 2) r.state = static_cast<WindowState>(s);
  }
  return r;
}

void SaveToolbarState(SettingsStore& store, std::string_view toolbar_name, const ToolbarState& t) {
  const std::string section = std::string(kToolbarSection) + "/" + std::string(toolbar_name);
  WriteRegInteger(store, section, "Visible", t.visible ? 1 : 0);
  WriteRegString(store, section, "DockedTo", t.docked_to);
  WriteRegInteger(store, section, "DockRow", t.dock_row);
  WriteRegInteger(store, section, "DockPos", t.dock_pos);
  WriteRegInteger(store, section, "FloatLeft", t.float_left);
  WriteRegInteger(store, section, "FloatTop", t.float_top);
  WriteRegInteger(store, section, "FloatRight", t.float_right);
  WriteRegInteger(store, section, "FloatBottom", t.float_bottom);
  WriteRegInteger(store, section, "FloatRightX", t.float_right_x);
}

ToolbarState LoadToolbarState(SettingsStore& store, std::string_view toolbar_name, const ToolbarState& current) {
  const std::string section = std::string(kToolbarSection) + "/" + std::string(toolbar_name);
  ToolbarState t = current;
  t.visible = ReadRegInteger(store, section, "Visible", current.visible ? 1 : 0) != 0;
  t.docked_to = ReadRegString(store, section, "DockedTo", "");
  if (t.docked_to.empty()) return t;
  t.dock_row = ReadRegInteger(store, section, "DockRow", current.dock_row);
  t.dock_pos = ReadRegInteger(store, section, "DockPos", current.dock_pos);
  t.float_left = ReadRegInteger(store, section, "FloatLeft", 0);
  t.float_top = ReadRegInteger(store, section, "FloatTop", 0);
  t.float_right = ReadRegInteger(store, section, "FloatRight", 0);
  t.float_bottom = ReadRegInteger(store, section, "FloatBottom", 0);
  t.float_right_x = ReadRegInteger(store, section, "FloatRightX", 0);
  return t;
}

}  // namespace tobrisk
