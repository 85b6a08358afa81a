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
  // Makes the writes durable; throws IoError when the store cannot be written.
  virtual void Flush() = 0;
};

}  // namespace tobrisk
