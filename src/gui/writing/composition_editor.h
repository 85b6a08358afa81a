// The program's own composition editor, used when the Editor setting is empty.
// A window of its own, not modal, so that the message being answered can be
// read meanwhile. It shows the composition file (title line and body) in a
// fixed-pitch Japanese font, the cursor's line and byte column counted in
// Shift-JIS (a full-width character takes 2), and a guide at the host's line
// width of 78 bytes. Characters that have no Shift-JIS form are marked.
//
// Ctrl+S saves (Shift-JIS, CR LF, atomically) and ends the composition, as an
// external editor's exit does; text with a character that has no Shift-JIS form
// is refused with a message naming it. Closing (Esc) without saving leaves the
// file unchanged, asking first when there are changes.
//
// Object names: TfrmCompositionEditor, EditorText, CursorPositionLabel,
// and the actions SaveItem and CloseItem.
#pragma once

#include <QMainWindow>
#include <string>

#include "core/ports/ports.h"
#include "core/settings/app_settings.h"

class QAction;
class QLabel;
class QPlainTextEdit;

namespace tobrisk::gui {

class TfrmCompositionEditor final : public QMainWindow {
  Q_OBJECT

 public:
  // The host's line width in bytes.
  static constexpr int kLineBytes = 78;

  // `path` is the composition file; `ports` must outlive the window (the
  // prompter asks and reports, the store keeps the placement).
  TfrmCompositionEditor(const std::string& path, const AppSettings& settings, const Ports& ports,
                        QWidget* parent = nullptr);
  ~TfrmCompositionEditor() override;

  // Reads the file into the editor and restores the window's placement.
  // Throws IoError when the file cannot be read.
  void Load();

  // Ctrl+S: writes the text and ends the composition. False (after telling the
  // user) when the text holds a character without a Shift-JIS form, or the
  // file could not be written; the window then stays open.
  bool SaveAndFinish();

  // The cursor's 1-based line and byte column, as the status bar shows them.
  int CursorLine() const;
  int CursorByteColumn() const;
  // The characters currently marked as having no Shift-JIS form.
  int MarkedCharacters() const { return marked_; }

 signals:
  // The composition is over: saved, or closed without saving.
  void Finished();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Writes the text; false (after telling the user) when it cannot be Shift-JIS
  // or the file could not be written.
  bool Save();
  void ShowCursorPosition();
  void MarkUnwritable();
  void SavePlacement();

  std::string path_;
  Ports ports_;
  QPlainTextEdit* EditorText = nullptr;
  QLabel* CursorPositionLabel = nullptr;
  QAction* SaveItem = nullptr;
  QAction* CloseItem = nullptr;
  int marked_ = 0;
  bool finished_ = false;
};

}  // namespace tobrisk::gui
