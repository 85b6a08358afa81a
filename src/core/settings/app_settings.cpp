#include "core/settings/app_settings.h"

#include <limits>

#include "core/ports/settings_store.h"
#include "core/text/bytes.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

bool ParseHex(std::string_view digits, int32_t& value) {
  if (digits.empty()) return false;
  uint64_t v = 0;
  for (const char c : digits) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > std::numeric_limits<uint32_t>::max()) return false;
  }
  // Hexadecimal text gives the 32-bit pattern, as the runtime's conversion does.
  value = static_cast<int32_t>(static_cast<uint32_t>(v));
  return true;
}

}  // namespace

std::string_view DisplayStem(Display display) {
  switch (display) {
    case Display::BoardList: return "BoardList";
    case Display::UserList: return "UserList";
    case Display::LogMessageList: return "LogMessageList";
    case Display::WriteMessageList: return "WriteMessageList";
    case Display::MessageView: return "MessageView";
  }
  return {};
}

std::vector<SettingField> SettingFields(AppSettings& s) {
  std::vector<SettingField> fields;
  for (const SettingDef& def : kSettingTable) {
    switch (def.shape) {
      case SettingDef::Shape::One:
        fields.push_back({def.section, std::string(def.name), def.kind, def.text ? &(s.*def.text) : nullptr,
                          def.integer ? &(s.*def.integer) : nullptr});
        break;
      case SettingDef::Shape::RecentLogs:
        for (size_t i = 0; i < s.paths.size(); ++i) {
          fields.push_back({def.section, std::string(def.name) + std::to_string(i), def.kind, &s.paths[i], nullptr});
        }
        break;
      case SettingDef::Shape::Displays:
        for (int d = 0; d < kDisplayCount; ++d) {
          const std::string stem(DisplayStem(static_cast<Display>(d)));
          FontGroup& group = s.fonts[static_cast<size_t>(d)];
          for (const FontFieldDef& field : kFontFields) {
            fields.push_back({def.section, stem + std::string(field.suffix), field.kind,
                              field.text ? &(group.*field.text) : nullptr,
                              field.integer ? &(group.*field.integer) : nullptr});
          }
        }
        break;
    }
  }
  return fields;
}

AppSettings DefaultSettings() {
  // Text defaults are written in UTF-8 and held as Shift-JIS; paths as they are.
  auto held = [](SettingKind kind, std::string_view utf8) {
    return kind == SettingKind::Text ? Sjis(utf8) : std::string(utf8);
  };
  AppSettings s;
  for (const SettingDef& def : kSettingTable) {
    switch (def.shape) {
      case SettingDef::Shape::One:
        if (def.text) s.*def.text = held(def.kind, def.default_text);
        if (def.integer) s.*def.integer = def.default_integer;
        break;
      case SettingDef::Shape::RecentLogs: s.paths.fill(held(def.kind, def.default_text)); break;
      case SettingDef::Shape::Displays:
        for (FontGroup& group : s.fonts) {
          for (const FontFieldDef& field : kFontFields) {
            if (field.text) group.*field.text = held(field.kind, field.default_text);
            if (field.integer) group.*field.integer = field.default_integer;
          }
        }
        break;
    }
  }
  return s;
}

void CopyPreferences(const AppSettings& from, AppSettings& to) {
  for (const SettingDef& def : kSettingTable) {
    if (def.use != SettingUse::Preference) continue;
    switch (def.shape) {
      case SettingDef::Shape::One:
        if (def.text) to.*def.text = from.*def.text;
        if (def.integer) to.*def.integer = from.*def.integer;
        break;
      case SettingDef::Shape::RecentLogs: to.paths = from.paths; break;
      case SettingDef::Shape::Displays: to.fonts = from.fonts; break;
    }
  }
}

std::string ReadRegString(SettingsStore& store, std::string_view section, std::string_view name,
                          std::string_view default_text) {
  auto value = store.Read(section, name);
  return value ? std::move(*value) : std::string(default_text);
}

bool UsesBuiltinEditor(const AppSettings& settings) {
  return settings.editor.find_first_not_of(" \t") == std::string::npos;
}

bool ConvertRegInteger(std::string_view text, int32_t& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseHex(text.substr(2), value);
  }
  if (!text.empty() && text[0] == '$') return ParseHex(text.substr(1), value);
  return ParseDecimal(text, value);
}

int32_t ReadRegInteger(SettingsStore& store, std::string_view section, std::string_view name, int32_t default_value) {
  const auto value = store.Read(section, name);
  if (!value) return default_value;
  int32_t result;
  return ConvertRegInteger(*value, result) ? result : default_value;
}

void WriteRegString(SettingsStore& store, std::string_view section, std::string_view name, std::string_view text) {
  store.Write(section, name, text);
}

void WriteRegInteger(SettingsStore& store, std::string_view section, std::string_view name, int32_t value) {
  store.Write(section, name, DecimalText(value));
}

void LoadSettings(AppSettings& settings, SettingsStore& store) {
  AppSettings defaults = DefaultSettings();
  std::vector<SettingField> def = SettingFields(defaults);
  std::vector<SettingField> out = SettingFields(settings);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].kind == SettingKind::Path) {
      auto value = store.ReadPath(out[i].section, out[i].name);
      *out[i].text = value ? std::move(*value) : *def[i].text;
    } else if (out[i].kind == SettingKind::Text) {
      *out[i].text = ReadRegString(store, out[i].section, out[i].name, *def[i].text);
    } else {
      *out[i].integer = ReadRegInteger(store, out[i].section, out[i].name, *def[i].integer);
    }
  }
}

void SaveSettings(const AppSettings& settings, SettingsStore& store) {
  AppSettings copy = settings;
  for (const SettingField& f : SettingFields(copy)) {
    if (f.kind == SettingKind::Path) {
      store.WritePath(f.section, f.name, *f.text);
    } else if (f.kind == SettingKind::Text) {
      WriteRegString(store, f.section, f.name, *f.text);
    } else {
      WriteRegInteger(store, f.section, f.name, *f.integer);
    }
  }
  store.Flush();
}

}  // namespace tobrisk
