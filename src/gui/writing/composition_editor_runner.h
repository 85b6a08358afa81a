// The desktop program's editor port: the built-in composition editor when the
// composition flow hands it no program, otherwise the external editor. Either way
// it returns once the composition's editing is over, while the windows stay
// live, so the composition flow is the same for both.
#pragma once

#include "platform/qt_editor_runner.h"
#include "core/ports/ports.h"

class QWidget;

#include "core/settings/app_settings.h"

namespace tobrisk::gui {

class CompositionEditorRunner final : public EditorRunner {
 public:
  // `parent` owns the editor windows; the settings (font size) and the ports
  // (questions, placement) must outlive the runner.
  CompositionEditorRunner(QWidget* parent, const AppSettings& settings, const Ports& ports);

  // An empty `editor` opens the built-in editor on `file` and waits until it is
  // saved or closed; it throws IoError when the file cannot be read.
  bool Run(const std::string& editor, const std::string& file, std::string& error) override;

 private:
  QWidget* parent_;
  const AppSettings& settings_;
  Ports ports_;
  QtEditorRunner external_;
};

}  // namespace tobrisk::gui
