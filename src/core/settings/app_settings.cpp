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
  using T = SettingField::Type;
  std::vector<SettingField> f;
  auto text = [&](std::string_view section, std::string name, std::string& v, bool path = false) {
    f.push_back({section, std::move(name), T::Text, path, &v, nullptr});
  };
  auto integer = [&](std::string_view section, std::string name, int32_t& v) {
    f.push_back({section, std::move(name), T::Integer, false, nullptr, &v});
  };
  text(kSectionControl, "LogDir", s.log_dir, true);
  text(kSectionControl, "UpDir", s.up_dir, true);
  text(kSectionControl, "Editor", s.editor, true);
  integer(kSectionControl, "EditorEncoding", s.editor_encoding);
  text(kSectionControl, "QuotationMarks", s.quotation_marks);
  integer(kSectionControl, "GetIBbsList", s.get_ibbs_list);
  text(kSectionControl, "MessageFooter", s.message_footer);
  integer(kSectionControl, "MessageFooterPos", s.message_footer_pos);
  integer(kSectionControl, "CutSpace", s.cut_space);
  integer(kSectionControl, "CutTab", s.cut_tab);
  integer(kSectionControl, "CutRet", s.cut_ret);
  text(kSectionControl, "ResMessageHeader", s.res_message_header);
  integer(kSectionControl, "ResMessageHeaderPos", s.res_message_header_pos);
  text(kSectionControl, "MvResMessageHeader", s.mv_res_message_header);
  integer(kSectionControl, "MvResMessageHeaderPos", s.mv_res_message_header_pos);
  integer(kSectionControl, "ReadTypeMax", s.read_type_max);
  integer(kSectionControl, "OpenPage", s.open_page);
  for (int i = 0; i < 10; ++i) text(kSectionLogPath, "Path" + std::to_string(i), s.paths[static_cast<size_t>(i)], true);
  for (int d = 0; d < kDisplayCount; ++d) {
    const std::string stem(DisplayStem(static_cast<Display>(d)));
    FontGroup& g = s.fonts[static_cast<size_t>(d)];
    text(kSectionFont, stem + "BackColor", g.back_color);
    text(kSectionFont, stem + "FontName", g.font_name);
    text(kSectionFont, stem + "FontColor", g.font_color);
    integer(kSectionFont, stem + "FontSize", g.font_size);
  }
  integer(kSectionNet, "DefaultNet", s.default_net);
  return f;
}

AppSettings DefaultSettings() {
  AppSettings s;
  s.quotation_marks = ">";
  s.default_net = -1;
  s.get_ibbs_list = 0;
  s.message_footer = Sjis("[ $H  with Ｔobrisk95 Ver.$V in $Y/$M/$D ]");
  s.res_message_header = Sjis("[ $Hさんへのレスです. $K$B / Fc.$N ]");
  s.mv_res_message_header = Sjis("[ $D より、$Hさんへの移動レスです. $K$B / Fc.$N ]");
  s.read_type_max = 1000;
  s.open_page = 1;
  // Editors of the platform: Shift-JIS ones on Windows, UTF-8 ones elsewhere.
#ifdef _WIN32
  s.editor_encoding = kEditorShiftJis;
#else
  s.editor_encoding = kEditorUtf8;
#endif
  const std::string font_name = Sjis("ＭＳ Ｐゴシック");
  for (FontGroup& g : s.fonts) {
    g.back_color = "clWhite";
    g.font_name = font_name;
    g.font_color = "clBlack";
    g.font_size = 9;
  }
  return s;
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

int32_t ReadRegInteger(SettingsStore& store, std::string_view section, std::string_view name,
                       int32_t default_value) {
  const auto value = store.Read(section, name);
  if (!value) return default_value;
  int32_t result;
  return ConvertRegInteger(*value, result) ? result : default_value;
}

void WriteRegString(SettingsStore& store, std::string_view section, std::string_view name,
                    std::string_view text) {
  store.Write(section, name, text);
}

void WriteRegInteger(SettingsStore& store, std::string_view section, std::string_view name,
                     int32_t value) {
  store.Write(section, name, DecimalText(value));
}

void LoadSettings(AppSettings& settings, SettingsStore& store) {
  AppSettings defaults = DefaultSettings();
  std::vector<SettingField> def = SettingFields(defaults);
  std::vector<SettingField> out = SettingFields(settings);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].type == SettingField::Type::Text && out[i].is_path) {
      auto value = store.ReadPath(out[i].section, out[i].name);
      *out[i].text = value ? std::move(*value) : *def[i].text;
    } else if (out[i].type == SettingField::Type::Text) {
      *out[i].text = ReadRegString(store, out[i].section, out[i].name, *def[i].text);
    } else {
      *out[i].integer = ReadRegInteger(store, out[i].section, out[i].name, *def[i].integer);
    }
  }
}

void SaveSettings(const AppSettings& settings, SettingsStore& store) {
  AppSettings copy = settings;
  for (const SettingField& f : SettingFields(copy)) {
    if (f.type == SettingField::Type::Text && f.is_path) {
      store.WritePath(f.section, f.name, *f.text);
    } else if (f.type == SettingField::Type::Text) {
      WriteRegString(store, f.section, f.name, *f.text);
    } else {
      WriteRegInteger(store, f.section, f.name, *f.integer);
    }
  }
  store.Flush();
}

}  // namespace tobrisk
