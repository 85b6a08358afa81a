// The settings store on QSettings: an INI file under $XDG_CONFIG_HOME on Linux,
// the registry key \SoftWare\Tobrisk95 on Windows. Sections are groups; values
// are kept as text when the bytes are Shift-JIS that converts back exactly, and
// as raw bytes otherwise, so every value reads back byte for byte. On Linux a
// path value is UTF-8 text in the INI (raw bytes when it is not UTF-8).
#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <map>
#include <memory>

#include "core/ports/settings_store.h"

namespace tobrisk {

class QtSettingsStore final : public SettingsStore {
 public:
  QtSettingsStore();                                  // the program's own store
  explicit QtSettingsStore(const QString& ini_path);  // a given INI file (tests)
  ~QtSettingsStore() override;

  std::optional<std::string> Read(std::string_view section, std::string_view name) override;
  void Write(std::string_view section, std::string_view name, std::string_view value) override;
  std::optional<std::string> ReadPath(std::string_view section, std::string_view name) override;
  void WritePath(std::string_view section, std::string_view name, std::string_view value) override;
  void Flush() override;

  // Where the store lives (file path or registry key), for messages.
  QString Location() const;

  // The path of the program's INI file on systems without a registry.
  static QString DefaultIniPath();

 private:
  QtSettingsStore(const QString& location, QSettings::Format format);
  // Sets a value, remembering what it was until the next successful flush.
  void Set(const QString& key, const QVariant& value);
  // Puts back every value set since the last successful flush.
  void DropUnflushed();

  QString location_;
  QSettings::Format format_;
  std::unique_ptr<QSettings> settings_;
  // The values as they were before the writes not flushed yet; nothing for a
  // value that did not exist.
  std::map<QString, std::optional<QVariant>> unflushed_;
  bool failed_ = false;  // the last flush failed
};

}  // namespace tobrisk
