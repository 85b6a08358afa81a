#include "gui/settings/setting_items.h"

#include <QFile>
#include <array>

#include "core/text/bytes.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {
namespace {

const std::vector<const char*> kPositionEntries = {"左端揃え", "中央揃え", "右端揃え"};
const std::vector<const char*> kCutEntries = {"カットを行う", "カットを行わない"};

// Programs on Windows end in .exe or .com; elsewhere they have no extension,
// so every file comes first.
#ifdef _WIN32
constexpr const char* kEditorFilter = "実行可能ファイル(*.com;*.exe)|*.com;*.exe|全てのファイル(*.*)|*.*";
#else
constexpr const char* kEditorFilter = "全てのファイル(*.*)|*.*|実行可能ファイル(*.com;*.exe)|*.com;*.exe";
#endif

const std::vector<ItemDef>& Specs() {
  static const std::vector<ItemDef> defs = {
      {SettingItem::NetRoot, "", "", "",
       "ネット設定では、オフ書きを行うネットの名称、ログヘッダ、ハンドル、アップロードファイルのヘッダの設定を行います。"},
      {SettingItem::NetNames, "", "", "",
       "【ネット名称】は既に設定されているネット名称の一覧です。ここでマウスを右クリックすると、新規のネットを登録出来ます。"},
      {SettingItem::Net, "NetName", "", "ネット名称",
       "ネット名称は、Ｔobrisk95 で複数のネットを区別するために使われます。", EditorKind::Text},
      {SettingItem::LogHeader, "LogHeader", "ログヘッダ : ", "ログヘッダ",
       "ログヘッダは登録されているネットのログファイル名の初めから４文字を設定します。このログヘッダで指定されたログファイルがどのネットのログかを判断します。",
       EditorKind::ShortText},
      {SettingItem::HandleName, "HandleName", "ハンドル名 : ", "ハンドル名",
       "ハンドル名は登録されているネットで使用している自分のハンドル名を設定します。このハンドル名を書いたメッセージの最後に付加します。",
       EditorKind::Text},
      {SettingItem::UpFileHeader, "UpFileHeader", "アップファイルヘッダ : ", "アップファイルヘッダ",
       "アップファイルヘッダはオフ書きを行ったメッセージのアップロードファイル名として使われます。アップロードファイル名は『アップファイルヘッダ + 日付 + .TXT』となります。",
       EditorKind::ShortText},
      {SettingItem::ControlRoot, "", "", "", ""},
      {SettingItem::FolderGroup, "", "", "", ""},
      {SettingItem::LogDir, "LogDir", "ログフォルダ : ", "ログフォルダ",
       "ログフォルダはログファイルを開く時、表示されるダイアログのデフォルトのフォルダとして使用されます。",
       EditorKind::Folder, {}, Legend::None, "ログフォルダ参照", "", true},
      {SettingItem::UpDir, "UpDir", "アップフォルダ : ", "アップフォルダ",
       "アップフォルダは作成したアップファイルを出力するフォルダを指定します。", EditorKind::Folder, {},
       Legend::None, "アップフォルダ参照", "", true},
      {SettingItem::Editor, "Editor", "実行エディタ名 : ", "実行エディタ",
       "実行エディタは、メッセージを書き込み時に起動するエディタを指定します。空欄のときは内蔵エディタを使います。"
       "外部エディタは、編集が終わるまで戻らないように起動して下さい（--wait や -w などのオプションを付けて指定出来ます）。",
       EditorKind::File, {}, Legend::None, "実行エディタ参照", kEditorFilter, true},
      {SettingItem::EditorEncoding, "EditorEncoding", "エディタの文字コード : ", "エディタの文字コード",
       "外部エディタが読み書きする文字コードを【Shift-JIS】【UTF-8】から選択します。UTF-8 の場合は UTF-8 "
       "に変換した写しをエディタに渡し、終了後に Shift-JIS に戻します。内蔵エディタでは使われません。",
       EditorKind::List, {"Shift-JIS", "UTF-8"}},
      {SettingItem::BoardGroup, "", "", "", ""},
      {SettingItem::GetIBbsList, "GetIBbsList", "IBBSリスト取得制御 : ", "IBBSリスト取得制御",
       "IBBSリスト取得制御は、ボード一覧をログから取り込み時、IBBSの属性が(READ)のボードのみか、全てを取得するか設定します。",
       EditorKind::List, {"READ属性のみ取得", "全てのIBBSを取得"}},
      {SettingItem::MessageGroup, "", "", "", ""},
      {SettingItem::QuotationMarks, "QuotationMarks", "引用符 : ", "引用符",
       "引用符は、レスを書く時、レス元のメッセージに自動で挿入される引用符を指定します。", EditorKind::ShortText},
      {SettingItem::ResMessageHeader, "ResMessageHeader", "レスメッセージヘッダ : ", "レスメッセージヘッダ",
       "レスメッセージヘッダは、レスを行ったメッセージの最初に付加する文字列を設定します。", EditorKind::Template,
       {}, Legend::Header},
      {SettingItem::ResMessageHeaderPos, "ResMessageHeaderPos", "レスメッセージヘッダ位置 : ",
       "レスメッセージヘッダ位置",
       "レスメッセージヘッダ位置は、レスを行ったメッセージの最初に付加するメッセージの表示位置を【左端揃え】【中央揃え】【右端揃え】から選択します。",
       EditorKind::List, kPositionEntries},
      {SettingItem::MvResMessageHeader, "MvResMessageHeader", "移動レスメッセージヘッダ : ",
       "移動レスメッセージヘッダ",
       "移動レスメッセージヘッダは、移動レスを行ったメッセージの最初に付加する文字列を設定します。",
       EditorKind::Template, {}, Legend::Header},
      {SettingItem::MvResMessageHeaderPos, "MvResMessageHeaderPos", "移動レスメッセージヘッダ位置 : ",
       "移動レスメッセージヘッダ位置",
       "移動レスメッセージヘッダ位置は、移動レスを行ったメッセージの最初に付加するメッセージの表示位置を【左端揃え】【中央揃え】【右端揃え】から選択します。",
       EditorKind::List, kPositionEntries},
      {SettingItem::MessageFooter, "MessageFooter", "メッセージフッタ : ", "メッセージフッタ",
       "メッセージフッタは、書き込みを行ったメッセージの最後に付加する文字列を設定します。", EditorKind::Template,
       {}, Legend::Footer},
      {SettingItem::MessageFooterPos, "MessageFooterPos", "メッセージフッタ位置 : ", "メッセージフッタ位置",
       "メッセージフッタ位置は、メッセージの最後に付加するメッセージの表示位置を【左端揃え】【中央揃え】【右端揃え】から選択します。",
       EditorKind::List, kPositionEntries},
      {SettingItem::CutSpace, "CutSpace", "レス元スペースカット : ", "レス元スペースカット",
       "レス書き込み時、レス元メッセージ各行の前スペースをカットするか、しないかを【カットを行う】【カットを行わない】から選択します。",
       EditorKind::List, kCutEntries},
      {SettingItem::CutTab, "CutTab", "レス元タブカット : ", "レス元タブカット",
       "レス書き込み時、レス元メッセージ各行の前タブをカットするか、しないかを【カットを行う】【カットを行わない】から選択します。",
       EditorKind::List, kCutEntries},
      {SettingItem::CutRet, "CutRet", "レス元改行のみ行カット : ", "レス元改行のみ行カット",
       "レス書き込み時、レス元メッセージの改行のみの行をカットするか、しないかを【カットを行う】【カットを行わない】から選択します。",
       EditorKind::List, kCutEntries},
      {SettingItem::OpenPage, "OpenPage", "ログ読み込み時の表示画面 : ", "ログ読み込み時の表示画面",
       "ログ読み込み時、開くページを【メッセージリスト】【メッセージツリー】から選択します。", EditorKind::List,
       {"メッセージリスト", "メッセージツリー"}},
      {SettingItem::ScreenRoot, "", "", "", ""},
      {SettingItem::DisplayGroup, "", "", "", "に表示するフォント名、フォント色、フォントサイズ、背景色の設定を行います。"},
      {SettingItem::FontName, "FontName", "フォント名 : ", "フォント名", "に表示するフォントを指定します。",
       EditorKind::FontList},
      {SettingItem::FontSize, "FontSize", "フォントサイズ : ", "フォントサイズ",
       "に表示するフォントのサイズを指定します。", EditorKind::Number},
      {SettingItem::FontColor, "FontColor", "フォント色 : ", "フォント色", "に表示するフォントの色を指定します。",
       EditorKind::ColorList},
      {SettingItem::BackColor, "BackColor", "背景色 : ", "背景色", "の背景色を指定します。", EditorKind::ColorList},
  };
  return defs;
}

QString Utf8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

const ItemDef& DefOf(SettingItem item) {
  for (const ItemDef& def : Specs()) {
    if (def.item == item) return def;
  }
  return Specs().front();  // every item has a row; not reached
}

std::vector<SettingItem> EditorItems() {
  std::vector<SettingItem> items;
  for (const ItemDef& def : Specs()) {
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
  return group >= 0 && group < kDisplayCount ? Utf8(names[static_cast<size_t>(group)]) : QString();
}

std::string* TextField(AppSettings& s, SettingItem item) {
  switch (item) {
    case SettingItem::LogDir: return &s.log_dir;
    case SettingItem::UpDir: return &s.up_dir;
    case SettingItem::Editor: return &s.editor;
    case SettingItem::QuotationMarks: return &s.quotation_marks;
    case SettingItem::MessageFooter: return &s.message_footer;
    case SettingItem::ResMessageHeader: return &s.res_message_header;
    case SettingItem::MvResMessageHeader: return &s.mv_res_message_header;
    default: return nullptr;
  }
}

int32_t* IntegerField(AppSettings& s, SettingItem item) {
  switch (item) {
    case SettingItem::GetIBbsList: return &s.get_ibbs_list;
    case SettingItem::MessageFooterPos: return &s.message_footer_pos;
    case SettingItem::ResMessageHeaderPos: return &s.res_message_header_pos;
    case SettingItem::MvResMessageHeaderPos: return &s.mv_res_message_header_pos;
    case SettingItem::CutSpace: return &s.cut_space;
    case SettingItem::CutTab: return &s.cut_tab;
    case SettingItem::CutRet: return &s.cut_ret;
    case SettingItem::OpenPage: return &s.open_page;
    case SettingItem::EditorEncoding: return &s.editor_encoding;
    default: return nullptr;
  }
}

NetField NetFieldOf(SettingItem item) {
  switch (item) {
    case SettingItem::LogHeader: return NetField::LogHeader;
    case SettingItem::HandleName: return NetField::HandleName;
    case SettingItem::UpFileHeader: return NetField::UpFileHeader;
    default: return NetField::NetName;
  }
}

QString ValueText(const ItemDef& def, const std::string& value) {
  return def.is_path ? QFile::decodeName(QByteArray::fromStdString(value)) : FromSjis(value);
}

std::string StoredValue(const ItemDef& def, const QString& text) {
  return def.is_path ? QFile::encodeName(text).toStdString() : ToSjis(text);
}

QString ValueDisplay(const ItemDef& def, const QString& value) {
  const QString label = Utf8(def.label);
  if (def.item == SettingItem::Editor && value.trimmed().isEmpty()) return label + QStringLiteral("【内蔵エディタ】");
  if (value.isEmpty()) return label + QStringLiteral("《未設定》");
  return label + QStringLiteral("【") + value + QStringLiteral("】");
}

QString ListDisplay(const ItemDef& def, int32_t value) {
  QString label = Utf8(def.label);
  if (def.item == SettingItem::GetIBbsList) {
    return ChosenEntryDisplay(def, value == 0 ? 0 : 1);  // any non-zero value imports every IBBS
  }
  if (def.entries == kCutEntries) {
    // The opening texts of the cut settings; the list's own entry reads "カットを行わない".
    if (value == 0) return label + QStringLiteral("【カットを行う】");
    if (value == 1) return label + QStringLiteral("【カット行わない】");
    return label;
  }
  if (value < 0 || value >= static_cast<int32_t>(def.entries.size())) return label;
  return ChosenEntryDisplay(def, value);
}

QString ChosenEntryDisplay(const ItemDef& def, int entry) {
  return Utf8(def.label) + QStringLiteral("【") + Utf8(def.entries.at(static_cast<size_t>(entry))) +
         QStringLiteral("】");
}

QString FontItemDisplay(SettingItem item, const QString& value) {
  const QString tail = item == SettingItem::FontSize ? QStringLiteral("Point】") : QStringLiteral("】");
  return Utf8(DefOf(item).label) + QStringLiteral("【") + value + tail;
}

QString GroupHelp(SettingItem item, int group) { return GroupName(group) + Utf8(DefOf(item).help); }

}  // namespace tobrisk::gui
