// The items of the properties tree: what each node stands for, where it sits in
// the tree, its label, the title, help text and kind of its editor, and the texts
// its node shows. A setting's item is keyed to its row of kSettingTable by the
// value name.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/settings/app_settings.h"
#include "core/settings/net_definitions.h"

namespace tobrisk::gui {

enum class SettingItem {
  NetRoot,
  NetNames,
  Net,
  LogHeader,
  HandleName,
  UpFileHeader,
  ControlRoot,
  FolderGroup,
  LogDir,
  UpDir,
  Editor,
  EditorEncoding,
  BoardGroup,
  GetIBbsList,
  MessageGroup,
  QuotationMarks,
  ResMessageHeader,
  ResMessageHeaderPos,
  MvResMessageHeader,
  MvResMessageHeaderPos,
  MessageFooter,
  MessageFooterPos,
  CutSpace,
  CutTab,
  CutRet,
  OpenPage,
  ScreenRoot,
  DisplayGroup,
  FontName,
  FontSize,
  FontColor,
  BackColor,
};

enum class EditorKind {
  None,       // a heading: no editor
  Text,       // text box, 395 pixels
  ShortText,  // text box, 60 pixels
  Template,   // text box, 390 pixels, with a macro legend
  Folder,     // text box and "参照" with a folder chooser
  File,       // text box and "参照" with a file chooser
  List,       // list of fixed entries; the entry number is the stored value
  FontList,   // installed font faces
  Number,     // at most two digits
  ColorList,  // the sixteen basic colours
};

enum class Legend { None, Footer, Header };

struct ItemDef {
  SettingItem item;
  // The node it sits under (none: a top-level node), and its image number in
  // the dialog's image list. The items under Net are built once per net, those
  // under DisplayGroup once per display.
  std::optional<SettingItem> parent;
  int image;
  // The value name of a setting (the suffix of a display's values), the net
  // field's name, or empty for a heading; also the stem of the editor's object
  // name: "LogHeader" -> LogHeaderEdit.
  const char* name;
  const char* label;  // node label, ending in " : "; a heading's node text
  const char* title;  // editor title
  const char* help;   // help text; for display group items the part after the group's name
  EditorKind editor = EditorKind::None;
  std::span<const char* const> entries = {};  // list entries, UTF-8
  Legend legend = Legend::None;
  const char* chooser_title = "";
  const char* chooser_filter = "";  // "description|patterns|..." (UTF-8)
};

// Every item, in tree order.
std::span<const ItemDef> ItemDefs();
const ItemDef& DefOf(SettingItem item);
// Every item that has an editor, in tree order.
std::vector<SettingItem> EditorItems();

// Where the editor chooser starts when no editor is set: the folder of the
// platform's programs.
QString EditorChooserFolder();

// The five display group names, in group order ("ボード一覧", ...).
QString GroupName(int group);

// The row of kSettingTable an item edits; nullptr for nets, displays and headings.
const SettingDef* SettingOf(const ItemDef& def);
// The value a display item shows and edits; nullptr for other items.
const FontFieldDef* FontFieldOf(const ItemDef& def);
// The item stands for a net or one of its fields / for a display or one of its fields.
bool IsNetItem(SettingItem item);
bool IsDisplayItem(SettingItem item);

// The working copy's field of a text or list setting; nullptr for other items.
std::string* TextField(AppSettings& settings, SettingItem item);
int32_t* IntegerField(AppSettings& settings, SettingItem item);
// The net field a net item edits (LogHeader, HandleName, UpFileHeader, Net).
NetField NetFieldOf(SettingItem item);

// Stored bytes <-> editor text (Shift-JIS, or native path bytes for a path setting).
QString ValueText(const ItemDef& def, const std::string& value);
std::string StoredValue(const ItemDef& def, const QString& text);

// Node texts.
// label + "【" + value + "】", or label + "《未設定》" when the value is empty (an
// empty Editor shows "【内蔵エディタ】": the built-in editor).
QString ValueDisplay(const ItemDef& def, const QString& value);
// A list setting as the tree shows it when the dialog opens.
QString ListDisplay(const ItemDef& def, int32_t value);
// A list setting after the user chose `entry`: label + "【" + entry text + "】".
QString ChosenEntryDisplay(const ItemDef& def, int entry);
// "フォント名 : 【name】", "フォントサイズ : 【digits Point】", "フォント色 : 【id】", "背景色 : 【id】".
QString FontItemDisplay(SettingItem item, const QString& value);
// The node text of a display item for the display's values.
QString FontItemDisplay(const ItemDef& def, const FontGroup& font);
// The help of a display group item: the group's name and the item's text.
QString GroupHelp(SettingItem item, int group);

}  // namespace tobrisk::gui
