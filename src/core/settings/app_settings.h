// All user settings of the program, loaded once at start and saved whole at a
// few fixed moments. Texts are Shift-JIS bytes, except the path fields (log
// paths, folders and the editor), which hold native path bytes.
#pragma once

#include <array>
#include <cstdint>
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

struct AppSettings {
  std::array<std::string, 10> paths;  // Path0 .. Path9, Path0 the newest
  std::string log_dir;                // LogDir
  std::string up_dir;                 // UpDir
  std::string editor;                 // Editor: empty = the built-in editor
  int32_t editor_encoding = 0;        // EditorEncoding: what an external editor reads and writes
  std::string quotation_marks;        // QuotationMarks
  int32_t default_net = 0;            // DefaultNet
  int32_t get_ibbs_list = 0;          // GetIBbsList
  std::string message_footer;         // MessageFooter
  int32_t message_footer_pos = 0;     // MessageFooterPos
  int32_t cut_space = 0;              // CutSpace
  int32_t cut_tab = 0;                // CutTab
  int32_t cut_ret = 0;                // CutRet
  std::string res_message_header;     // ResMessageHeader
  int32_t res_message_header_pos = 0; // ResMessageHeaderPos
  std::string mv_res_message_header;  // MvResMessageHeader
  int32_t mv_res_message_header_pos = 0;  // MvResMessageHeaderPos
  int32_t read_type_max = 0;          // ReadTypeMax
  int32_t open_page = 0;              // OpenPage
  std::array<FontGroup, kDisplayCount> fonts;  // indexed by Display

  FontGroup& Font(Display d) { return fonts[static_cast<size_t>(d)]; }
  const FontGroup& Font(Display d) const { return fonts[static_cast<size_t>(d)]; }

  bool operator==(const AppSettings&) const = default;
};

// EditorEncoding values.
inline constexpr int32_t kEditorShiftJis = 0;
inline constexpr int32_t kEditorUtf8 = 1;

// True when the Editor setting names no program (empty or blanks only): the
// program's own composition editor is used.
bool UsesBuiltinEditor(const AppSettings& settings);

// The registry sections.
inline constexpr std::string_view kSectionControl = "Settings Control";
inline constexpr std::string_view kSectionLogPath = "Settings LogPath";
inline constexpr std::string_view kSectionFont = "Settings Font";
inline constexpr std::string_view kSectionNet = "Settings Net";

// One stored value of AppSettings, in load/save order.
struct SettingField {
  enum class Type { Text, Integer };
  std::string_view section;
  std::string name;         // the value name in the store
  Type type;
  bool is_path;             // native path bytes rather than Shift-JIS text
  std::string* text;        // for Text fields
  int32_t* integer;         // for Integer fields
};

// Every field of `settings` in the order LoadSettings reads and SaveSettings
// writes them, with pointers into `settings`.
std::vector<SettingField> SettingFields(AppSettings& settings);

// The settings of a first start (no stored values).
AppSettings DefaultSettings();

// Store primitives with the registry semantics of the Windows program.
std::string ReadRegString(SettingsStore& store, std::string_view section, std::string_view name,
                          std::string_view default_text);
int32_t ReadRegInteger(SettingsStore& store, std::string_view section, std::string_view name,
                       int32_t default_value);
// The integer conversion of ReadRegInteger: "0x"/"0X" hexadecimal (text longer
// than two characters), "$" hexadecimal, or decimal with an optional sign.
bool ConvertRegInteger(std::string_view text, int32_t& value);
void WriteRegString(SettingsStore& store, std::string_view section, std::string_view name,
                    std::string_view text);
void WriteRegInteger(SettingsStore& store, std::string_view section, std::string_view name,
                     int32_t value);

void LoadSettings(AppSettings& settings, SettingsStore& store);
// Writes every field and flushes the store; throws IoError when it cannot, and
// then the store keeps nothing of this save for a later one to write.
void SaveSettings(const AppSettings& settings, SettingsStore& store);

}  // namespace tobrisk
