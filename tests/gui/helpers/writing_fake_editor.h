// A stand-in for the member's text editor in the writing tests: a small shell
// script in a temporary folder that does, on each run, what the test asked for
// last (write new contents, put a title above the prepared text, delete the
// file, empty it, save it unchanged, return at once without touching it, or
// wait for a signal file first). It counts its
// runs and keeps a copy of the file as it was handed over.
#pragma once

#include <string>

namespace tobrisk::testing {

class WritingFakeEditor {
 public:
  WritingFakeEditor();
  ~WritingFakeEditor();
  WritingFakeEditor(const WritingFakeEditor&) = delete;
  WritingFakeEditor& operator=(const WritingFakeEditor&) = delete;

  // The script's path: the Editor setting.
  const std::string& Program() const { return program_; }

  // The next runs replace the whole file with these bytes (Shift-JIS, CR LF).
  void WillWrite(const std::string& sjis);
  // The next runs replace the title line (the first line) with this one.
  void WillRetitle(const std::string& title_sjis);
  void WillDelete();
  void WillEmpty();
  // Saves the file unchanged (its modification time moves on).
  void WillKeep();
  // Returns at once without touching the file, as an editor that hands the file
  // to an instance already running does.
  void WillReturnAtOnce();
  // The next run waits until Release() (at most 20 s), then writes `sjis`.
  void WillWaitThenWrite(const std::string& sjis);
  void Release();

  int Runs() const;
  // The file as the editor got it on its last run.
  std::string LastSeen() const;

 private:
  void SetAction(const char* action, const std::string& content);

  std::string dir_;
  std::string program_;
};

}  // namespace tobrisk::testing
