// Port: runs the external editor on a file and waits until it ends, while the
// user interface keeps processing events.
#pragma once

#include <string>

namespace tobrisk {

class EditorRunner {
 public:
  virtual ~EditorRunner() = default;
  // `editor` is the Editor setting, `file` the composition file's full path.
  // Returns false (with a readable reason) when the editor could not be started.
  virtual bool Run(const std::string& editor, const std::string& file, std::string& error) = 0;
};

}  // namespace tobrisk
