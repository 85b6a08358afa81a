// The settings store on QSettings: an INI file under $XDG_CONFIG_HOME on Linux,
// the registry key \SoftWare\Tobrisk95 on Windows. Sections are groups; values
// are kept as text when the bytes are Shift-JIS that converts back exactly, and
// as raw bytes otherwise, so every value reads back byte for byte.
#pragma once

#include <QSettings>
#include <memory>

#include "ports/settings_store.h"

namespace tobrisk {

class QtSettingsStore final : public SettingsStore {
 public:
  QtSettingsStore();                              // the program's own store
  explicit QtSettingsStore(const QString& ini_path);  // a given INI file (tests)

  std::optional<std::string> Read(std::string_view section, std::string_view name) override;
  void Write(std::string_view section, std::string_view name, std::string_view value) override;
  void Flush() override;

  // Where the store lives (file path or registry key), for messages.
  QString Location() const;

  // The path of the program's INI file on systems without a registry.
  static QString DefaultIniPath();

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace tobrisk
