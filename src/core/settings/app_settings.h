// All user settings of the program, loaded once at start and saved whole at a
// few fixed moments. Texts are Shift-JIS bytes, except the path fields (log
// paths, folders and the editor), which hold native path bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace tobrisk {

class SettingsStore;

// The four display fields of one of the five displays.
struct FontGroup {
  std::string back_color;
  std::string font_name;
  std::string font_color;
  int32_t font_size = 0;

  bool operator==(const FontGroup&) const = default;
};

// The five displays, always handled in this order. (GCC 12 takes the scoped
// enumerators for shadows of the list types of the same names.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
enum class Display { BoardList, UserList, LogMessageList, WriteMessageList, MessageView };
#pragma GCC diagnostic pop
inline constexpr int kDisplayCount = 5;
// "BoardList", "UserList", ... : the stem of the display's value names.
std::string_view DisplayStem(Display display);

// Every field of AppSettings is stored under the value name given by its row in
// kSettingTable below: adding a setting is its field here and its row there.
struct AppSettings {
  std::array<std::string, 10> paths;           // Path0 .. Path9, Path0 the newest
  std::string log_dir;                         // LogDir
  std::string up_dir;                          // UpDir
  std::string editor;                          // Editor: empty = the built-in editor
  int32_t editor_encoding = 0;                 // EditorEncoding: what an external editor reads and writes
  std::string quotation_marks;                 // QuotationMarks
  int32_t default_net = 0;                     // DefaultNet
  int32_t get_ibbs_list = 0;                   // GetIBbsList
  std::string message_footer;                  // MessageFooter
  int32_t message_footer_pos = 0;              // MessageFooterPos
  int32_t cut_space = 0;                       // CutSpace
  int32_t cut_tab = 0;                         // CutTab
  int32_t cut_ret = 0;                         // CutRet
  std::string res_message_header;              // ResMessageHeader
  int32_t res_message_header_pos = 0;          // ResMessageHeaderPos
  std::string mv_res_message_header;           // MvResMessageHeader
  int32_t mv_res_message_header_pos = 0;       // MvResMessageHeaderPos
  int32_t read_type_max = 0;                   // ReadTypeMax
  int32_t open_page = 0;                       // OpenPage
  std::array<FontGroup, kDisplayCount> fonts;  // indexed by Display

  FontGroup& Font(Display d) { return fonts[static_cast<size_t>(d)]; }
  const FontGroup& Font(Display d) const { return fonts[static_cast<size_t>(d)]; }

  bool operator==(const AppSettings&) const = default;
};

// EditorEncoding values.
inline constexpr int32_t kEditorShiftJis = 0;
inline constexpr int32_t kEditorUtf8 = 1;
// Editors of the platform: Shift-JIS ones on Windows, UTF-8 ones elsewhere.
#ifdef _WIN32
inline constexpr int32_t kDefaultEditorEncoding = kEditorShiftJis;
#else
inline constexpr int32_t kDefaultEditorEncoding = kEditorUtf8;
#endif

// True when the Editor setting names no program (empty or blanks only): the
// program's own composition editor is used.
bool UsesBuiltinEditor(const AppSettings& settings);

// The registry sections.
inline constexpr std::string_view kSectionControl = "Settings Control";
inline constexpr std::string_view kSectionLogPath = "Settings LogPath";
inline constexpr std::string_view kSectionFont = "Settings Font";
inline constexpr std::string_view kSectionNet = "Settings Net";

// How a value is held and stored.
enum class SettingKind {
  Text,     // Shift-JIS text
  Path,     // a file or folder path: the file system's own bytes (SettingsStore::ReadPath)
  Integer,  // stored as its decimal text
};

// The four stored values of a FontGroup. The value name is the display's stem
// followed by the suffix: "BoardList" + "BackColor".
struct FontFieldDef {
  std::string_view suffix;
  SettingKind kind;
  std::string FontGroup::*text = nullptr;  // Text
  int32_t FontGroup::*integer = nullptr;   // Integer
  std::string_view default_text = {};      // UTF-8, held as Shift-JIS
  int32_t default_integer = 0;
};

inline constexpr FontFieldDef kFontFields[] = {
    {"BackColor", SettingKind::Text, &FontGroup::back_color, nullptr, "clWhite"},
    {"FontName", SettingKind::Text, &FontGroup::font_name, nullptr, "ＭＳ Ｐゴシック"},
    {"FontColor", SettingKind::Text, &FontGroup::font_color, nullptr, "clBlack"},
    {"FontSize", SettingKind::Integer, nullptr, &FontGroup::font_size, {}, 9},
};

// Who changes a setting.
enum class SettingUse {
  Preference,  // the user, in the properties dialog (its working copy holds these)
  State,       // the program itself: the recent logs and the net last chosen
};

// One row of the settings table: a field of AppSettings and how it is stored.
// Two rows stand for a family of values: the recent logs (Path0 .. Path9) and
// the five displays (each display's kFontFields, in display order).
struct SettingDef {
  enum class Shape { One, RecentLogs, Displays };
  std::string_view section;
  std::string_view name;  // the value name; for the recent logs the stem of "Path0" .. "Path9"
  SettingKind kind = SettingKind::Text;
  std::string AppSettings::*text = nullptr;  // Text and Path
  int32_t AppSettings::*integer = nullptr;   // Integer
  std::string_view default_text = {};        // UTF-8 (held as Shift-JIS; a Path as it is)
  int32_t default_integer = 0;
  SettingUse use = SettingUse::Preference;
  Shape shape = Shape::One;
};

// Rows of one value each.
constexpr SettingDef TextSetting(std::string_view section, std::string_view name, std::string AppSettings::*field,
                                 std::string_view default_utf8 = {}) {
  return {section, name, SettingKind::Text, field, nullptr, default_utf8};
}
constexpr SettingDef PathSetting(std::string_view section, std::string_view name, std::string AppSettings::*field) {
  return {section, name, SettingKind::Path, field};
}
constexpr SettingDef IntegerSetting(std::string_view section, std::string_view name, int32_t AppSettings::*field,
                                    int32_t default_value = 0, SettingUse use = SettingUse::Preference) {
  return {section, name, SettingKind::Integer, nullptr, field, {}, default_value, use};
}

// Every setting, in the order LoadSettings reads and SaveSettings writes them
// (and `tobrisk-cli settings` lists them). A new setting gets its row here, at
// the place where it is to be stored, and its field in AppSettings. The store
// also keeps "PathEncoding" in "Settings Control" for itself: no setting takes
// that name.
inline constexpr SettingDef kSettingTable[] = {
    PathSetting(kSectionControl, "LogDir", &AppSettings::log_dir),
    PathSetting(kSectionControl, "UpDir", &AppSettings::up_dir),
    PathSetting(kSectionControl, "Editor", &AppSettings::editor),
    IntegerSetting(kSectionControl, "EditorEncoding", &AppSettings::editor_encoding, kDefaultEditorEncoding),
    TextSetting(kSectionControl, "QuotationMarks", &AppSettings::quotation_marks, ">"),
    IntegerSetting(kSectionControl, "GetIBbsList", &AppSettings::get_ibbs_list),
    TextSetting(kSectionControl, "MessageFooter", &AppSettings::message_footer,
                "[ $H  with Ｔobrisk95 Ver.$V in $Y/$M/$D ]"),
    IntegerSetting(kSectionControl, "MessageFooterPos", &AppSettings::message_footer_pos),
    IntegerSetting(kSectionControl, "CutSpace", &AppSettings::cut_space),
    IntegerSetting(kSectionControl, "CutTab", &AppSettings::cut_tab),
    IntegerSetting(kSectionControl, "CutRet", &AppSettings::cut_ret),
    TextSetting(kSectionControl, "ResMessageHeader", &AppSettings::res_message_header,
                "[ $Hさんへのレスです. $K$B / Fc.$N ]"),
    IntegerSetting(kSectionControl, "ResMessageHeaderPos", &AppSettings::res_message_header_pos),
    TextSetting(kSectionControl, "MvResMessageHeader", &AppSettings::mv_res_message_header,
                "[ $D より、$Hさんへの移動レスです. $K$B / Fc.$N ]"),
    IntegerSetting(kSectionControl, "MvResMessageHeaderPos", &AppSettings::mv_res_message_header_pos),
    IntegerSetting(kSectionControl, "ReadTypeMax", &AppSettings::read_type_max, 1000),
    IntegerSetting(kSectionControl, "OpenPage", &AppSettings::open_page, 1),
    {.section = kSectionLogPath,
     .name = "Path",
     .kind = SettingKind::Path,
     .use = SettingUse::State,
     .shape = SettingDef::Shape::RecentLogs},
    {.section = kSectionFont, .name = {}, .shape = SettingDef::Shape::Displays},
    IntegerSetting(kSectionNet, "DefaultNet", &AppSettings::default_net, -1, SettingUse::State),
};

// The index in kSettingTable of the one-value setting stored as `name`;
// kNoSetting when there is none. Compile-time checks use the index: a sanitizer
// build cannot compare a table address with null in a constant expression.
inline constexpr size_t kNoSetting = std::size(kSettingTable);
constexpr size_t SettingIndex(std::string_view name) {
  for (size_t i = 0; i < std::size(kSettingTable); ++i) {
    if (kSettingTable[i].shape == SettingDef::Shape::One && kSettingTable[i].name == name) return i;
  }
  return kNoSetting;
}
// The row of the one-value setting stored as `name`; nullptr when there is none.
constexpr const SettingDef* FindSetting(std::string_view name) {
  const size_t index = SettingIndex(name);
  return index == kNoSetting ? nullptr : &kSettingTable[index];
}
// The font field whose value names end in `suffix`; nullptr when there is none.
constexpr const FontFieldDef* FindFontField(std::string_view suffix) {
  for (const FontFieldDef& def : kFontFields) {
    if (def.suffix == suffix) return &def;
  }
  return nullptr;
}

// One stored value of AppSettings, in load/save order.
struct SettingField {
  std::string_view section;
  std::string name;  // the value name in the store
  SettingKind kind;
  std::string* text;  // for Text and Path fields
  int32_t* integer;   // for Integer fields
};

// Every value of `settings` in the order LoadSettings reads and SaveSettings
// writes them, with pointers into `settings`: kSettingTable with its families
// spelled out.
std::vector<SettingField> SettingFields(AppSettings& settings);

// The settings of a first start (no stored values): the table's defaults.
AppSettings DefaultSettings();

// Copies every preference (SettingUse::Preference) of `from` into `to`; the
// recent logs and DefaultNet of `to` stay.
void CopyPreferences(const AppSettings& from, AppSettings& to);

// Store primitives with the registry semantics of the Windows program.
std::string ReadRegString(SettingsStore& store, std::string_view section, std::string_view name,
                          std::string_view default_text);
int32_t ReadRegInteger(SettingsStore& store, std::string_view section, std::string_view name, int32_t default_value);
// The integer conversion of ReadRegInteger: "0x"/"0X" hexadecimal (text longer
// than two characters), "$" hexadecimal, or decimal with an optional sign.
bool ConvertRegInteger(std::string_view text, int32_t& value);
void WriteRegString(SettingsStore& store, std::string_view section, std::string_view name, std::string_view text);
void WriteRegInteger(SettingsStore& store, std::string_view section, std::string_view name, int32_t value);

void LoadSettings(AppSettings& settings, SettingsStore& store);
// Writes every field and flushes the store; throws IoError when it cannot, and
// then the store keeps nothing of this save for a later one to write.
void SaveSettings(const AppSettings& settings, SettingsStore& store);

}  // namespace tobrisk
