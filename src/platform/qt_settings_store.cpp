#include "platform/qt_settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include "text/io_error.h"
#include "text/sjis.h"

namespace tobrisk {
namespace {

QString Key(std::string_view section, std::string_view name) {
  return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + '/' +
         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// Takes and at once releases the lock file, treating it as stale after two
// seconds.
void ClearAbandonedLock(const QString& path) {
  QLockFile lock(path);
  lock.setStaleLockTime(2000);
  lock.tryLock(5000);
}

}  // namespace

QString QtSettingsStore::DefaultIniPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty()) base = QDir::homePath() + "/.config";
  return base + "/Tobrisk95/Tobrisk95.ini";
}

QtSettingsStore::QtSettingsStore() {
#ifdef _WIN32
  settings_ = std::make_unique<QSettings>("HKEY_CURRENT_USER\\SoftWare\\Tobrisk95", QSettings::NativeFormat);
#else
  settings_ = std::make_unique<QSettings>(DefaultIniPath(), QSettings::IniFormat);
#endif
}

QtSettingsStore::QtSettingsStore(const QString& ini_path)
    : settings_(std::make_unique<QSettings>(ini_path, QSettings::IniFormat)) {}

QString QtSettingsStore::Location() const { return settings_->fileName(); }

std::optional<std::string> QtSettingsStore::Read(std::string_view section, std::string_view name) {
  const QVariant v = settings_->value(Key(section, name));
  if (!v.isValid()) return std::nullopt;
  if (v.typeId() == QMetaType::QByteArray) {
    const QByteArray b = v.toByteArray();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
  }
  if (v.canConvert<QString>()) return Utf8ToSjis(v.toString().toStdString());
  return std::nullopt;  // a value of another kind is treated as missing
}

void QtSettingsStore::Write(std::string_view section, std::string_view name, std::string_view value) {
  if (SjisRoundTrips(value)) {
    settings_->setValue(Key(section, name), QString::fromStdString(SjisToUtf8(value)));
  } else {
    settings_->setValue(Key(section, name), QByteArray(value.data(), static_cast<qsizetype>(value.size())));
  }
}

void QtSettingsStore::Flush() {
#ifndef _WIN32
  QDir().mkpath(QFileInfo(settings_->fileName()).absolutePath());
  // A program killed while taking the settings lock (or the lock that guards
  // removing a stale one) leaves an empty lock file, which the sync only treats
  // as stale after 30 seconds. Taking each lock first with a short stale time
  // removes such a file (a live writer holds them for milliseconds).
  const QString lock = settings_->fileName() + QStringLiteral(".lock");
  ClearAbandonedLock(lock + QStringLiteral(".rmlock"));
  ClearAbandonedLock(lock);
#endif
  settings_->sync();
  // A damaged file read earlier leaves FormatError behind (its values fall back
  // to the defaults) although the sync has just replaced it: only a failed
  // write is an error here.
  if (settings_->status() == QSettings::AccessError) {
    throw IoError("write", settings_->fileName().toStdString(), "Permission denied");
  }
}

}  // namespace tobrisk
