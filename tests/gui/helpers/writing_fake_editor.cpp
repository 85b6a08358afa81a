#include "helpers/writing_fake_editor.h"

#include <sys/stat.h>

#include "capture_generator.h"
#include "core/text/files.h"

namespace tobrisk::testing {

WritingFakeEditor::WritingFakeEditor() : dir_(TrailingSeparator(MakeTempDir("tobrisk-editor"))) {
  program_ = dir_ + "edit.sh";
  const std::string script =
      "#!/bin/sh\n"
      "d='" +
      dir_ +
      "'\n"
      "n=$(cat \"$d/runs\" 2>/dev/null || echo 0)\n"
      "echo $((n + 1)) > \"$d/runs\"\n"
      "cp \"$1\" \"$d/seen\" 2>/dev/null || : > \"$d/seen\"\n"
      "case \"$(cat \"$d/action\")\" in\n"
      "  write) cp \"$d/content\" \"$1\" ;;\n"
      "  retitle) { cat \"$d/content\"; tail -n +2 \"$1\"; } > \"$d/new\" && mv \"$d/new\" \"$1\" ;;\n"
      "  delete) rm -f \"$1\" ;;\n"
      "  empty) : > \"$1\" ;;\n"
      "  keep) touch -d \"@$(($(date +%s) + 5))\" \"$1\" ;;\n"
      "  wait) i=0\n"
      "    while [ ! -f \"$d/go\" ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i + 1)); done\n"
      "    rm -f \"$d/go\"; cp \"$d/content\" \"$1\" ;;\n"
      "esac\n";
  WriteFile(program_, script);
  ::chmod(program_.c_str(), 0755);
  WillKeep();
}

WritingFakeEditor::~WritingFakeEditor() { RemoveTree(dir_); }

void WritingFakeEditor::SetAction(const char* action, const std::string& content) {
  WriteFile(dir_ + "content", content);
  WriteFile(dir_ + "action", action);
}

void WritingFakeEditor::WillWrite(const std::string& sjis) { SetAction("write", sjis); }
void WritingFakeEditor::WillRetitle(const std::string& title_sjis) { SetAction("retitle", title_sjis + "\r\n"); }
void WritingFakeEditor::WillDelete() { SetAction("delete", ""); }
void WritingFakeEditor::WillEmpty() { SetAction("empty", ""); }
void WritingFakeEditor::WillKeep() { SetAction("keep", ""); }
void WritingFakeEditor::WillReturnAtOnce() { SetAction("none", ""); }
void WritingFakeEditor::WillWaitThenWrite(const std::string& sjis) { SetAction("wait", sjis); }
void WritingFakeEditor::Release() { WriteFile(dir_ + "go", "go"); }

int WritingFakeEditor::Runs() const {
  if (!FileExists(dir_ + "runs")) return 0;
  return std::stoi(ReadWholeFile(dir_ + "runs"));
}

std::string WritingFakeEditor::LastSeen() const {
  return FileExists(dir_ + "seen") ? ReadWholeFile(dir_ + "seen") : std::string();
}

}  // namespace tobrisk::testing
