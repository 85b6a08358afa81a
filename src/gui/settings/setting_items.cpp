#include "gui/settings/setting_items.h"

#include <QFile>
#include <array>

#include "core/text/bytes.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {
namespace {

constexpr const char* kPositionEntries[] = {"左端揃え", "中央揃え", "右端揃え"};
constexpr const char* kCutEntries[] = {"カットを行う", "カットを行わない"};
constexpr const char* kEditorEncodingEntries[] = {"Shift-JIS", "UTF-8"};  // kEditorShiftJis, kEditorUtf8
constexpr const char* kIBbsEntries[] = {"READ属性のみ取得", "全てのIBBSを取得"};
constexpr const char* kOpenPageEntries[] = {"メッセージリスト", "メッセージツリー"};

// Programs on Windows end in .exe or .com; elsewhere they have no extension,
// so every file comes first.
#ifdef _WIN32
constexpr const char* kEditorFilter = "実行可能ファイル(*.com;*.exe)|*.com;*.exe|全てのファイル(*.*)|*.*";
#else
constexpr const char* kEditorFilter = "全てのファイル(*.*)|*.*|実行可能ファイル(*.com;*.exe)|*.com;*.exe";
#endif

constexpr std::optional<SettingItem> kTop = std::nullopt;
using enum SettingItem;

// The tree, in order: item, parent node, image, name, label, title, help, editor
// and what the editor needs. A setting shown in the dialog gets its row here,
// under the heading where it is to appear.
constexpr ItemDef kItems[] = {
    {NetRoot, kTop, 13, "", "ネット設定", "",
     "ネット設定では、オフ書きを行うネットの名称、ログヘッダ、ハンドル、アップロードファイルのヘッダの設定を行います。"},
    {NetNames, NetRoot, 14, "", "ネット名称", "",
     "【ネット名称】は既に設定されているネット名称の一覧です。ここでマウスを右クリックすると、新規のネットを登録出来ます。"},
    {Net, NetNames, 16, "NetName", "", "ネット名称",
     "ネット名称は、Ｔobrisk95 で複数のネットを区別するために使われます。", EditorKind::Text},
    {LogHeader, Net, 11, "LogHeader", "ログヘッダ : ", "ログヘッダ",
     "ログヘッダは登録されているネットのログファイル名の初めから４文字を設定します。このログヘッダで指定されたログファイルがどのネットのログかを判断します。",
     EditorKind::ShortText},
    {HandleName, Net, 11, "HandleName", "ハンドル名 : ", "ハンドル名",
     "ハンドル名は登録されているネットで使用している自分のハンドル名を設定します。このハンドル名を書いたメッセージの最後に付加します。",
     EditorKind::Text},
    {UpFileHeader, Net, 11, "UpFileHeader", "アップファイルヘッダ : ", "アップファイルヘッダ",
     "アップファイルヘッダはオフ書きを行ったメッセージのアップロードファイル名として使われます。アップロードファイル名は『アップファイルヘッダ + 日付 + .TXT』となります。",
     EditorKind::ShortText},
    {ControlRoot, kTop, 17, "", "制御設定", "", ""},
    {FolderGroup, ControlRoot, 2, "", "フォルダ・ファイル関連", "", ""},
    {LogDir,
     FolderGroup,
     2,
     "LogDir",
     "ログフォルダ : ",
     "ログフォルダ",
     "ログフォルダはログファイルを開く時、表示されるダイアログのデフォルトのフォルダとして使用されます。",
     EditorKind::Folder,
     {},
     Legend::None,
     "ログフォルダ参照"},
    {UpDir,
     FolderGroup,
     2,
     "UpDir",
     "アップフォルダ : ",
     "アップフォルダ",
     "アップフォルダは作成したアップファイルを出力するフォルダを指定します。",
     EditorKind::Folder,
     {},
     Legend::None,
     "アップフォルダ参照"},
    {Editor,
     FolderGroup,
     4,
     "Editor",
     "実行エディタ名 : ",
     "実行エディタ",
     "実行エディタは、メッセージを書き込み時に起動するエディタを指定します。空欄のときは内蔵エディタを使います。"
     "外部エディタは、編集が終わるまで戻らないように起動して下さい（--wait や -w などのオプションを付けて指定出来ます）。",
     EditorKind::File,
     {},
     Legend::None,
     "実行エディタ参照",
     kEditorFilter},
    {EditorEncoding, FolderGroup, 4, "EditorEncoding", "エディタの文字コード : ", "エディタの文字コード",
     "外部エディタが読み書きする文字コードを【Shift-JIS】【UTF-8】から選択します。UTF-8 の場合は UTF-8 "
     "に変換した写しをエディタに渡し、終了後に Shift-JIS に戻します。内蔵エディタでは使われません。",
     EditorKind::List, kEditorEncodingEntries},
    {BoardGroup, ControlRoot, 2, "", "ボード・ユーザ関連", "", ""},
    {GetIBbsList, BoardGroup, 6, "GetIBbsList", "IBBSリスト取得制御 : ", "IBBSリスト取得制御",
     "IBBSリスト取得制御は、ボード一覧をログから取り込み時、IBBSの属性が(READ)のボードのみか、全てを取得するか設定します。",
     EditorKind::List, kIBbsEntries},
    {MessageGroup, ControlRoot, 2, "", "メッセージ関連", "", ""},
    {QuotationMarks, MessageGroup, 5, "QuotationMarks", "引用符 : ", "引用符",
     "引用符は、レスを書く時、レス元のメッセージに自動で挿入される引用符を指定します。", EditorKind::ShortText},
    {ResMessageHeader,
     MessageGroup,
     6,
     "ResMessageHeader",
     "レスメッセージヘッダ : ",
     "レスメッセージヘッダ",
     "レスメッセージヘッダは、レスを行ったメッセージの最初に付加する文字列を設定します。",
     EditorKind::Template,
     {},
     Legend::Header},
    {ResMessageHeaderPos, MessageGroup, 6, "ResMessageHeaderPos",
     "レスメッセージヘッダ位置 : ", "レスメッセージヘッダ位置",
     "レスメッセージヘッダ位置は、レスを行ったメッセージの最初に付加するメッセージの表示位置を【左端揃え】【中央揃え】【右端揃え】から選択します。",
     EditorKind::List, kPositionEntries},
    {MvResMessageHeader,
     MessageGroup,
     6,
     "MvResMessageHeader",
     "移動レスメッセージヘッダ : ",
     "移動レスメッセージヘッダ",
     "移動レスメッセージヘッダは、移動レスを行ったメッセージの最初に付加する文字列を設定します。",
     EditorKind::Template,
     {},
     Legend::Header},
    {MvResMessageHeaderPos, MessageGroup, 6, "MvResMessageHeaderPos",
     "移動レスメッセージヘッダ位置 : ", "移動レスメッセージヘッダ位置",
     "移動レスメッセージヘッダ位置は、移動レスを行ったメッセージの最初に付加するメッセージの表示位置を【左端揃え】【中央揃え】【右端揃え】から選択します。",
     EditorKind::List, kPositionEntries},
    {MessageFooter,
     MessageGroup,
     6,
     "MessageFooter",
     "メッセージフッタ : ",
     "メッセージフッタ",
     "メッセージフッタは、書き込みを行ったメッセージの最後に付加する文字列を設定します。",
     EditorKind::Template,
     {},
     Legend::Footer},
    {MessageFooterPos, MessageGroup, 6, "MessageFooterPos", "メッセージフッタ位置 : ", "メッセージフッタ位置",
     "メッセージフッタ位置は、メッセージの最後に付加するメッセージの表示位置を【左端揃え】【中央揃え】【右端揃え】から選択します。",
     EditorKind::List, kPositionEntries},
    {CutSpace, MessageGroup, 6, "CutSpace", "レス元スペースカット : ", "レス元スペースカット",
     "レス書き込み時、レス元メッセージ各行の前スペースをカットするか、しないかを【カットを行う】【カットを行わない】から選択します。",
     EditorKind::List, kCutEntries},
    {CutTab, MessageGroup, 6, "CutTab", "レス元タブカット : ", "レス元タブカット",
     "レス書き込み時、レス元メッセージ各行の前タブをカットするか、しないかを【カットを行う】【カットを行わない】から選択します。",
     EditorKind::List, kCutEntries},
    {CutRet, MessageGroup, 6, "CutRet", "レス元改行のみ行カット : ", "レス元改行のみ行カット",
     "レス書き込み時、レス元メッセージの改行のみの行をカットするか、しないかを【カットを行う】【カットを行わない】から選択します。",
     EditorKind::List, kCutEntries},
    {OpenPage, MessageGroup, 6, "OpenPage", "ログ読み込み時の表示画面 : ", "ログ読み込み時の表示画面",
     "ログ読み込み時、開くページを【メッセージリスト】【メッセージツリー】から選択します。", EditorKind::List,
     kOpenPageEntries},
    {ScreenRoot, kTop, 15, "", "画面設定", "", ""},
    {DisplayGroup, ScreenRoot, 10, "", "", "",
     "に表示するフォント名、フォント色、フォントサイズ、背景色の設定を行います。"},
    {FontName, DisplayGroup, 7, "FontName", "フォント名 : ", "フォント名", "に表示するフォントを指定します。",
     EditorKind::FontList},
    {FontSize, DisplayGroup, 7, "FontSize", "フォントサイズ : ", "フォントサイズ",
     "に表示するフォントのサイズを指定します。", EditorKind::Number},
    {FontColor, DisplayGroup, 12, "FontColor", "フォント色 : ", "フォント色", "に表示するフォントの色を指定します。",
     EditorKind::ColorList},
    {BackColor, DisplayGroup, 12, "BackColor", "背景色 : ", "背景色", "の背景色を指定します。", EditorKind::ColorList},
};

constexpr const ItemDef* FindItem(SettingItem item) {
  for (const ItemDef& def : kItems) {
    if (def.item == item) return &def;
  }
  return nullptr;
}

constexpr bool UnderNet(const ItemDef& def) { return def.item == Net || def.parent == Net; }
constexpr bool UnderDisplay(const ItemDef& def) { return def.item == DisplayGroup || def.parent == DisplayGroup; }

// The table's own rules, checked by the compiler.
constexpr bool EachItemOnceUnderAnEarlierNode() {
  for (const ItemDef& def : kItems) {
    if (FindItem(def.item) != &def) return false;
    if (def.parent && FindItem(*def.parent) >= &def) return false;
  }
  return true;
}
static_assert(EachItemOnceUnderAnEarlierNode(), "an item is listed twice or before the node it sits under");

// Every editor edits a value of its kind: a setting of kSettingTable, a display
// value of kFontFields, or a net field.
constexpr bool EditorsFitTheirValues() {
  for (const ItemDef& def : kItems) {
    if (def.editor == EditorKind::None || UnderNet(def)) continue;
    if (UnderDisplay(def)) {
      // By index, as the settings above: no address is compared with null here.
      bool found = false;
      for (const FontFieldDef& field : kFontFields) {
        if (field.suffix != def.name) continue;
        found = true;
        const bool number = def.editor == EditorKind::Number;
        if (number != (field.kind == SettingKind::Integer)) return false;
      }
      if (!found) return false;
      continue;
    }
    const size_t index = SettingIndex(def.name);
    if (index == kNoSetting) return false;
    const SettingDef* setting = &kSettingTable[index];
    if (setting->use != SettingUse::Preference) return false;
    switch (def.editor) {
      case EditorKind::List:
        if (setting->kind != SettingKind::Integer || def.entries.empty()) return false;
        break;
      case EditorKind::Folder:
      case EditorKind::File:
        if (setting->kind != SettingKind::Path) return false;
        break;
      case EditorKind::Text:
      case EditorKind::ShortText:
      case EditorKind::Template:
        if (setting->kind == SettingKind::Integer) return false;
        break;
      default: return false;
    }
  }
  return true;
}
static_assert(EditorsFitTheirValues(), "an editor names no setting of its kind");

}  // namespace

std::span<const ItemDef> ItemDefs() { return kItems; }

namespace {}  // namespace

const ItemDef& DefOf(SettingItem item) {
  const ItemDef* def = FindItem(item);
  return def ? *def : kItems[0];  // every item has a row; not reached
}

std::vector<SettingItem> EditorItems() {
  std::vector<SettingItem> items;
  for (const ItemDef& def : kItems) {
    if (def.editor != EditorKind::None) items.push_back(def.item);
  }
  return items;
}

QString EditorChooserFolder() {
#ifdef _WIN32
  return QString();
#else
  return QStringLiteral("/usr/bin");
#endif
}

QString GroupName(int group) {
  static const std::array<const char*, kDisplayCount> names = {"ボード一覧", "ユーザ一覧", "ログメッセージ一覧",
                                                               "書込メッセージ一覧", "メッセージビュー"};
  return group >= 0 && group < kDisplayCount ? Utf(names[static_cast<size_t>(group)]) : QString();
}

const SettingDef* SettingOf(const ItemDef& def) {
  return UnderNet(def) || UnderDisplay(def) ? nullptr : FindSetting(def.name);
}

const FontFieldDef* FontFieldOf(const ItemDef& def) { return UnderDisplay(def) ? FindFontField(def.name) : nullptr; }

bool IsNetItem(SettingItem item) { return UnderNet(DefOf(item)); }
bool IsDisplayItem(SettingItem item) { return UnderDisplay(DefOf(item)); }

std::string* TextField(AppSettings& s, SettingItem item) {
  const SettingDef* setting = SettingOf(DefOf(item));
  return setting && setting->text ? &(s.*setting->text) : nullptr;
}

int32_t* IntegerField(AppSettings& s, SettingItem item) {
  const SettingDef* setting = SettingOf(DefOf(item));
  return setting && setting->integer ? &(s.*setting->integer) : nullptr;
}

NetField NetFieldOf(SettingItem item) {
  switch (item) {
    case SettingItem::LogHeader: return NetField::LogHeader;
    case SettingItem::HandleName: return NetField::HandleName;
    case SettingItem::UpFileHeader: return NetField::UpFileHeader;
    default: return NetField::NetName;
  }
}

namespace {

bool IsPath(const ItemDef& def) {
  const SettingDef* setting = SettingOf(def);
  return setting && setting->kind == SettingKind::Path;
}

}  // namespace

QString ValueText(const ItemDef& def, const std::string& value) {
  return IsPath(def) ? QFile::decodeName(QByteArray::fromStdString(value)) : FromSjis(value);
}

std::string StoredValue(const ItemDef& def, const QString& text) {
  return IsPath(def) ? QFile::encodeName(text).toStdString() : ToSjis(text);
}

QString ValueDisplay(const ItemDef& def, const QString& value) {
  const QString label = Utf(def.label);
  if (def.item == SettingItem::Editor && value.trimmed().isEmpty()) return label + QStringLiteral("【内蔵エディタ】");
  if (value.isEmpty()) return label + QStringLiteral("《未設定》");
  return label + QStringLiteral("【") + value + QStringLiteral("】");
}

QString ListDisplay(const ItemDef& def, int32_t value) {
  QString label = Utf(def.label);
  if (def.item == SettingItem::GetIBbsList) {
    return ChosenEntryDisplay(def, value == 0 ? 0 : 1);  // any non-zero value imports every IBBS
  }
  if (def.entries.data() == std::data(kCutEntries)) {
    // The opening texts of the cut settings; the list's own entry reads "カットを行わない".
    if (value == 0) return label + QStringLiteral("【カットを行う】");
    if (value == 1) return label + QStringLiteral("【カット行わない】");
    return label;
  }
  if (value < 0 || value >= static_cast<int32_t>(def.entries.size())) return label;
  return ChosenEntryDisplay(def, value);
}

QString ChosenEntryDisplay(const ItemDef& def, int entry) {
  if (entry < 0 || static_cast<size_t>(entry) >= def.entries.size()) return Utf(def.label);
  return Utf(def.label) + QStringLiteral("【") + Utf(def.entries[static_cast<size_t>(entry)]) + QStringLiteral("】");
}

QString FontItemDisplay(SettingItem item, const QString& value) {
  const QString tail = item == SettingItem::FontSize ? QStringLiteral("Point】") : QStringLiteral("】");
  return Utf(DefOf(item).label) + QStringLiteral("【") + value + tail;
}

QString FontItemDisplay(const ItemDef& def, const FontGroup& font) {
  const FontFieldDef* field = FontFieldOf(def);
  if (!field) return QString();
  return FontItemDisplay(def.item, field->text ? FromSjis(font.*field->text) : QString::number(font.*field->integer));
}

QString GroupHelp(SettingItem item, int group) { return GroupName(group) + Utf(DefOf(item).help); }

}  // namespace tobrisk::gui
