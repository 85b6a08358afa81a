// Window placement and toolbar state kept in the settings store: the rules of
// the placement component each window carries (which values are written in which
// window state, which stored values are applied), independent of the toolkit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tobrisk {

class SettingsStore;

enum class WindowState { Minimized = 0, Normal = 1, Maximized = 2 };

struct FormPositionOptions {
  std::string form_name;      // FormName: the store section of the window
  bool save_position = true;  // SavePosition
  bool save_size = true;      // SaveSize
  bool save_state = true;     // SaveState
  bool if_minimized = false;  // ifMinimized: store position and size while minimized
  bool if_maximized = false;  // ifMaximized: store position and size while maximized
};

// The windows of the program whose placement is kept.
FormPositionOptions MainFormPosition();               // "TfrmMain"
FormPositionOptions BoardUserListFormPosition();      // "TfrmBoardUserList"
FormPositionOptions LogMessageFormPosition();         // "TfrmLogMessage"
FormPositionOptions SelectMoveBoardFormPosition();    // "TfrmSelectMoveBoard"
FormPositionOptions CompositionEditorFormPosition();  // "TfrmCompositionEditor": the built-in editor

struct WindowPlacement {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  WindowState state = WindowState::Normal;
};

// What a restore applies: each value only when stored and usable (coordinates
// and sizes above 0, a state of 0, 1 or 2).
struct RestoredPlacement {
  std::optional<int> left, top, width, height;
  std::optional<WindowState> state;
};

// The section of a window in the placement store.
std::string FormSection(std::string_view form_name);

void SaveFormPlacement(SettingsStore& store, const FormPositionOptions& options, const WindowPlacement& current);
RestoredPlacement RestoreFormPlacement(SettingsStore& store, const FormPositionOptions& options);

// Toolbar state in "Settings ToolBars" + "/" + toolbar name.
struct ToolbarState {
  bool visible = true;
  std::string docked_to;  // "DockTop", "DockLeft", "DockRight", "nil" (floating) or empty (not stored)
  int dock_row = 0;
  int dock_pos = 0;
  int float_left = 0, float_top = 0, float_right = 0, float_bottom = 0, float_right_x = 0;
};

inline constexpr std::string_view kToolbarSection = "Settings ToolBars";

void SaveToolbarState(SettingsStore& store, std::string_view toolbar_name, const ToolbarState& state);
// Reads a toolbar's state; `current` gives the defaults (visibility, row, position).
ToolbarState LoadToolbarState(SettingsStore& store, std::string_view toolbar_name, const ToolbarState& current);

// The default-position and default-size commands.
inline constexpr int kDefaultBoardUserWidth = 219;
inline constexpr int kDefaultBoardUserHeight = 476;
inline constexpr int kDefaultLogMessageWidth = 570;
inline constexpr int kDefaultLogMessageHeight = 476;

}  // namespace tobrisk
