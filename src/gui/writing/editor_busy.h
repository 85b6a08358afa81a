// The one refusal of every command that must wait while a composition is in the
// editor (closing, opening or importing a capture, up-text output, a second
// composition): an error box that says why, so the member knows what to finish.
#pragma once

namespace tobrisk {
class Prompter;
struct WorkState;
}  // namespace tobrisk

namespace tobrisk::gui {

// True, after the box, while EditorBusy is set; false (and nothing shown) otherwise.
bool RefusedWhileEditorBusy(const WorkState& state, Prompter& prompter);

}  // namespace tobrisk::gui
