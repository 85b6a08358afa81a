#include "platform/qt_settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include "core/settings/app_settings.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

QString Key(std::string_view section, std::string_view name) {
  return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + '/' +
         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QByteArray Bytes(std::string_view value) { return QByteArray(value.data(), static_cast<qsizetype>(value.size())); }

// Takes and at once releases the lock file, if there is one, treating it as
// stale after two seconds.
void ClearAbandonedLock(const QString& path) {
  if (!QFileInfo::exists(path)) return;  // the usual case: nothing to clear, and no lock taken to learn it
  QLockFile lock(path);
  lock.setStaleLockTime(2000);
  lock.tryLock(5000);
}

#ifndef _WIN32
// Written beside the path values: the INI holds them as UTF-8 text. Files
// without it come from earlier versions, which stored a path's bytes as if they
// were Shift-JIS.
constexpr std::string_view kPathEncodingName = "PathEncoding";
static_assert(SettingIndex(kPathEncodingName) == kNoSetting,
              "the store's own value may not share its name with a setting");
const QString kPathEncodingKey = Key(kSectionControl, kPathEncodingName);
const QString kPathEncoding = QStringLiteral("UTF-8");

// The bytes as UTF-8 text, or nothing when they are not UTF-8.
std::optional<QString> DecodeUtf8(const QByteArray& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
  QString text = decoder(bytes);
  if (decoder.hasError()) return std::nullopt;
  return text;
}
#endif

}  // namespace

QString QtSettingsStore::DefaultIniPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty()) base = QDir::homePath() + "/.config";
  return base + "/Tobrisk95/Tobrisk95.ini";
}

QtSettingsStore::QtSettingsStore()
#ifdef _WIN32
    : QtSettingsStore(QStringLiteral("HKEY_CURRENT_USER\\SoftWare\\Tobrisk95"), QSettings::NativeFormat){}
#else
    : QtSettingsStore(DefaultIniPath(), QSettings::IniFormat) {
}
#endif

      QtSettingsStore::QtSettingsStore(const QString& ini_path)
    : QtSettingsStore(ini_path, QSettings::IniFormat) {
}

QtSettingsStore::QtSettingsStore(const QString& location, QSettings::Format format)
    : location_(location), format_(format), settings_(std::make_unique<QSettings>(location, format)) {}

QtSettingsStore::~QtSettingsStore() {
  // Writes that were never flushed are not saved by the way out either.
  DropUnflushed();
}

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
    Set(Key(section, name), QString::fromStdString(SjisToUtf8(value)));
  } else {
    Set(Key(section, name), Bytes(value));
  }
}

std::optional<std::string> QtSettingsStore::ReadPath(std::string_view section, std::string_view name) {
#ifdef _WIN32
  return Read(section, name);  // the registry keeps paths as the program's other texts
#else
  const QVariant v = settings_->value(Key(section, name));
  if (!v.isValid()) return std::nullopt;
  if (v.typeId() == QMetaType::QByteArray) return v.toByteArray().toStdString();
  if (!v.canConvert<QString>()) return std::nullopt;
  const std::string utf8 = v.toString().toStdString();
  if (settings_->value(kPathEncodingKey).toString() != kPathEncoding) {
    // An earlier version wrote this file: a UTF-8 path was stored as its bytes
    // read as Shift-JIS. Reading it back that way gives UTF-8 again only for such
    // a value; a path typed into the file by hand reads as the text it is.
    const std::string earlier = Utf8ToSjis(utf8);
    if (earlier != utf8 && SjisToUtf8(earlier) == utf8 && DecodeUtf8(QByteArray::fromStdString(earlier))) {
      return earlier;
    }
  }
  return utf8;
#endif
}

void QtSettingsStore::WritePath(std::string_view section, std::string_view name, std::string_view value) {
#ifdef _WIN32
  Write(section, name, value);
#else
  const QByteArray bytes = Bytes(value);
  if (const std::optional<QString> text = DecodeUtf8(bytes)) {
    Set(Key(section, name), *text);
  } else {
    Set(Key(section, name), bytes);  // a name that is not UTF-8 keeps its bytes
  }
  if (settings_->value(kPathEncodingKey).toString() != kPathEncoding) Set(kPathEncodingKey, kPathEncoding);
#endif
}

void QtSettingsStore::Set(const QString& key, const QVariant& value) {
  if (!unflushed_.contains(key)) {
    unflushed_[key] = settings_->contains(key) ? std::optional<QVariant>(settings_->value(key)) : std::nullopt;
  }
  settings_->setValue(key, value);
}

void QtSettingsStore::DropUnflushed() {
  // QSettings keeps unwritten values until a sync succeeds and offers no way to
  // forget them: setting the old values back makes that later write harmless.
  for (const auto& [key, before] : unflushed_) {
    if (before) {
      settings_->setValue(key, *before);
    } else {
      settings_->remove(key);
    }
  }
  unflushed_.clear();
}

void QtSettingsStore::Flush() {
  if (failed_) {
    // QSettings keeps reporting its first error: a fresh object on the same
    // store lets this flush tell its own success.
    settings_ = std::make_unique<QSettings>(location_, format_);
    failed_ = false;
  }
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
    DropUnflushed();
    failed_ = true;
    throw IoError("write", settings_->fileName().toStdString(), "Permission denied");
  }
  unflushed_.clear();
}

}  // namespace tobrisk
