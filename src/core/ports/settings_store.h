// Port: the persistent store of settings, window placement and toolbar state.
// Values are byte strings addressed by (section, name).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tobrisk {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored value, or nothing when the section or the value does not exist.
  virtual std::optional<std::string> Read(std::string_view section, std::string_view name) = 0;
  virtual void Write(std::string_view section, std::string_view name, std::string_view value) = 0;
  // A value that is a file or folder path, held as the file system's own bytes
  // rather than Shift-JIS text. A store that keeps text in another encoding
  // stores these in the file system's encoding.
  virtual std::optional<std::string> ReadPath(std::string_view section, std::string_view name) {
    return Read(section, name);
  }
  virtual void WritePath(std::string_view section, std::string_view name, std::string_view value) {
    Write(section, name, value);
  }
  // Makes the writes durable; throws IoError when the store cannot be written.
  // A failed flush drops every write since the last successful one, so nothing
  // of a failed save is written later by another save.
  virtual void Flush() = 0;
};

}  // namespace tobrisk
