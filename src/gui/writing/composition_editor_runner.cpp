#include "gui/writing/composition_editor_runner.h"

#include <QEventLoop>
#include <QPointer>

#include "gui/writing/composition_editor.h"

namespace tobrisk::gui {

CompositionEditorRunner::CompositionEditorRunner(QWidget* parent, const AppSettings& settings, const Ports& ports)
    : parent_(parent), settings_(settings), ports_(ports) {}

bool CompositionEditorRunner::Run(const std::string& editor, const std::string& file, std::string& error) {
  if (!editor.empty()) return external_.Run(editor, file, error);

  QPointer<TfrmCompositionEditor> window = new TfrmCompositionEditor(file, settings_, ports_, parent_);
  try {
    window->Load();
  } catch (...) {
    delete window;
    throw;
  }
  QEventLoop loop;
  QObject::connect(window, &TfrmCompositionEditor::Finished, &loop, &QEventLoop::quit);
  window->show();
  window->raise();
  window->activateWindow();
  loop.exec();
  // The loop also ends when the program quits: the window goes without saving.
  delete window;
  return true;
}

}  // namespace tobrisk::gui
