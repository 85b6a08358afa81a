// The properties dialog on a real work folder and settings file: the tree, every
// editor, nets added and deleted, OK and Cancel, write failures, and the colour
// texts of the settings.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>
#include <cstdio>
#include <memory>

#include "capture_generator.h"
#include "fakes.h"
#include "platform/qt_settings_store.h"
#include "gui/settings/TfrmNewSet.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"
#include "gui/widgets/colors.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/gui_prompter.h"
#include "helpers/gui_text.h"

using tobrisk::AppSettings;
using tobrisk::Sjis;
using tobrisk::gui::SettingItem;
using tobrisk::gui::TfrmNewSet;
using tobrisk::testing::U;

namespace {

// Answers the "参照" dialogs and remembers what they were asked.
class AnsweringChooser final : public tobrisk::gui::FileChooser {
 public:
  QStringList OpenFiles(QWidget*, const tobrisk::gui::OpenFilesRequest& request) override {
    last_request = request;
    ++asked;
    return file.isEmpty() ? QStringList() : QStringList{file};
  }
  QString ChooseDirectory(QWidget*, const QString& title, const QString& directory) override {
    last_title = title;
    last_directory = directory;
    ++asked;
    return folder;
  }
  QString file, folder, last_title, last_directory;
  tobrisk::gui::OpenFilesRequest last_request;
  int asked = 0;
};

// A store whose writes never reach the disk.
class FailingStore final : public tobrisk::SettingsStore {
 public:
  std::optional<std::string> Read(std::string_view section, std::string_view name) override {
    return inner.Read(section, name);
  }
  void Write(std::string_view section, std::string_view name, std::string_view value) override {
    inner.Write(section, name, value);
  }
  void Flush() override { throw tobrisk::IoError("write", "/nowhere/Tobrisk95.ini", "Permission denied"); }
  tobrisk::testing::MemoryStore inner;
};

const char* const kThreeNets =
    "ABCD\tNetA\tTaro\tUPA\r\n"
    "WXYZ\tネットＢ\t\tUPB\r\n"
    "EFGH\tNetC\tはなこ\tUPC\r\n";

}  // namespace

class PropertiesTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void unchangedOkStoresEverythingUnchanged();
  void treeShowsEveryValue();
  void listEditorsSetNodeAndNumber_data();
  void listEditorsSetNodeAndNumber();
  void cutSpaceKeepsOpeningTextUntilChosen();
  void textEditorsHelpTitlesAndLegends();
  void browseButtonsUseTheChooser();
  void emptiedLogHeaderIsDroppedByCancel();
  void netFieldsCannotTakeTabs();
  void newNetIsAppended();
  void popupOffersNetCommands();
  void deletingTheMiddleNet_data();
  void deletingTheMiddleNet();
  void cancelledDeletionLeavesNetsAndDefaultNet();
  void colourOutsideTheSixteen();
  void fontFacesAndSizes();
  void settingsWriteFailureKeepsDialogOpen();
  void netFileWriteFailureKeepsDialogOpen();
  void missingNetFileIsCreated();
  void escapeCancels();
  void colourTexts();
  void thousandNetsStayLight();
  void screenshot();

 private:
  std::string NetFile() const { return work_dir_ + "NET.TDT"; }
  // Builds the work state from the settings file and a dialog on it.
  void MakeDialog(tobrisk::SettingsStore* store = nullptr);
  void Open();
  QTreeWidget* Tree() const { return dialog_->findChild<QTreeWidget*>("SettingTree"); }
  QTreeWidgetItem* Node(SettingItem item, int index = -1) const;
  void Select(QTreeWidgetItem* node) const { Tree()->setCurrentItem(node); }
  template <typename T>
  T* Child(const char* name) const {
    T* w = dialog_->findChild<T*>(name);
    if (!w) qFatal("no widget %s", name);
    return w;
  }
  static void Choose(QComboBox* combo, int entry) {
    combo->setCurrentIndex(entry);
    emit combo->activated(entry);
  }
  // Types characters as key presses carrying their text (QTest::keyClicks only
  // knows Latin-1).
  static void Type(QLineEdit* edit, const QString& text) {
    for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
  static void ClearAndType(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    Type(edit, text);
  }
  void ClickOk() const { QTest::mouseClick(Child<QPushButton>("OkButton"), Qt::LeftButton); }
  AppSettings Reloaded() const {
    tobrisk::QtSettingsStore store;
    AppSettings s;
    tobrisk::LoadSettings(s, store);
    return s;
  }

  std::string config_dir_;
  std::string work_dir_;
  std::unique_ptr<tobrisk::QtSettingsStore> store_;
  tobrisk::testing::FakePrompter prompter_;
  tobrisk::Ports ports_;
  tobrisk::WorkState state_;
  std::unique_ptr<TfrmNewSet> dialog_;
};

void PropertiesTest::init() {
  config_dir_ = tobrisk::testing::MakeTempDir("props-config");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_dir_));
  work_dir_ = tobrisk::TrailingSeparator(tobrisk::testing::MakeTempDir("props-work"));
  tobrisk::testing::WriteFile(NetFile(), Sjis(kThreeNets));
  prompter_ = {};
  state_ = {};

  // A settings file with values away from the defaults, some missing.
  store_ = std::make_unique<tobrisk::QtSettingsStore>();
  AppSettings s = tobrisk::DefaultSettings();
  s.paths[0] = "/home/taro/ログ/ABCD0101.LOG";
  s.log_dir = "/home/taro/ログ";
  s.quotation_marks = Sjis("＞");
  s.message_footer_pos = 5;
  s.cut_space = 1;
  s.cut_ret = 1;
  s.get_ibbs_list = 7;
  s.read_type_max = 77;
  s.default_net = 0;
  s.Font(tobrisk::Display::UserList).back_color = "clWindow";
  s.Font(tobrisk::Display::MessageView).font_color = "$000000ff";
  s.Font(tobrisk::Display::MessageView).font_size = 12;
  tobrisk::SaveSettings(s, *store_);
}

void PropertiesTest::cleanup() {
  dialog_.reset();
  store_.reset();
  tobrisk::testing::RemoveTree(work_dir_);
  tobrisk::testing::RemoveTree(config_dir_);
}

void PropertiesTest::MakeDialog(tobrisk::SettingsStore* store) {
  tobrisk::LoadSettings(state_.settings, *store_);
  state_.work_dir = work_dir_;
  ports_.prompter = &prompter_;
  ports_.store = store ? store : store_.get();
  dialog_ = std::make_unique<TfrmNewSet>(state_, ports_);
}

void PropertiesTest::Open() {
  if (!dialog_) MakeDialog();
  QVERIFY(dialog_->PrepareShow());
  dialog_->show();
  QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
}

QTreeWidgetItem* PropertiesTest::Node(SettingItem item, int index) const {
  for (QTreeWidgetItemIterator it(Tree()); *it; ++it) {
    const auto node_item = static_cast<SettingItem>((*it)->data(0, TfrmNewSet::kItemRole).toInt());
    if (node_item != item) continue;
    if (index < 0) return *it;
    const QTreeWidgetItem* owner =
        (item == SettingItem::Net || item == SettingItem::DisplayGroup) ? *it : (*it)->parent();
    if (owner->data(0, TfrmNewSet::kIndexRole).toInt() == index) return *it;
  }
  qFatal("no node");
}

void PropertiesTest::unchangedOkStoresEverythingUnchanged() {
  MakeDialog();
  const AppSettings before = state_.settings;
  const std::string net_bytes = tobrisk::ReadWholeFile(NetFile());
  QSignalSpy applied(dialog_.get(), &TfrmNewSet::displaySettingsChanged);

  bool pressed = false;
  QTimer::singleShot(0, dialog_.get(), [&] {
    // NET.TDT must come back from the net list, not stay from before.
    std::remove(NetFile().c_str());
    ClickOk();
    pressed = true;
  });
  QVERIFY(dialog_->ShowModal());
  QVERIFY(pressed);

  QCOMPARE(applied.count(), 1);
  QVERIFY(state_.settings == before);
  QVERIFY(Reloaded() == before);  // every field, MessageFooterPos 5 and ReadTypeMax 77 included
  tobrisk::QtSettingsStore store;
  AppSettings copy = before;
  for (const auto& field : tobrisk::SettingFields(copy)) {
    QVERIFY2(store.Read(field.section, field.name).has_value(), field.name.c_str());
  }
  QCOMPARE(tobrisk::ReadWholeFile(NetFile()), net_bytes);
  QVERIFY(prompter_.boxes.empty());
}

void PropertiesTest::treeShowsEveryValue() {
  Open();
  QTreeWidget* tree = Tree();
  QCOMPARE(tree->topLevelItemCount(), 3);
  QTreeWidgetItem* net_root = tree->topLevelItem(0);
  QCOMPARE(net_root->text(0), U("ネット設定"));
  QCOMPARE(net_root->data(0, TfrmNewSet::kImageRole).toInt(), 13);
  QTreeWidgetItem* names = net_root->child(0);
  QCOMPARE(names->text(0), U("ネット名称"));
  QCOMPARE(names->data(0, TfrmNewSet::kImageRole).toInt(), 14);
  QCOMPARE(names->childCount(), 3);
  QTreeWidgetItem* net_b = names->child(1);
  QCOMPARE(net_b->text(0), U("ネットＢ"));
  QCOMPARE(net_b->data(0, TfrmNewSet::kImageRole).toInt(), 16);
  QCOMPARE(net_b->data(0, TfrmNewSet::kIndexRole).toInt(), 1);
  QCOMPARE(net_b->child(0)->text(0), U("ログヘッダ : 【WXYZ】"));
  QCOMPARE(net_b->child(1)->text(0), U("ハンドル名 : 《未設定》"));
  QCOMPARE(net_b->child(2)->text(0), U("アップファイルヘッダ : 【UPB】"));
  QCOMPARE(net_b->child(2)->data(0, TfrmNewSet::kImageRole).toInt(), 11);

  QTreeWidgetItem* control = tree->topLevelItem(1);
  QCOMPARE(control->text(0), U("制御設定"));
  QCOMPARE(control->childCount(), 3);
  QTreeWidgetItem* folders = control->child(0);
  QCOMPARE(folders->text(0), U("フォルダ・ファイル関連"));
  QCOMPARE(folders->child(0)->text(0), U("ログフォルダ : 【/home/taro/ログ】"));
  QCOMPARE(folders->child(1)->text(0), U("アップフォルダ : 《未設定》"));
  // An empty Editor is the built-in editor; an external one's encoding follows.
  QCOMPARE(folders->child(2)->text(0), U("実行エディタ名 : 【内蔵エディタ】"));
  QCOMPARE(folders->child(2)->data(0, TfrmNewSet::kImageRole).toInt(), 4);
  QCOMPARE(folders->child(3)->text(0), U("エディタの文字コード : 【UTF-8】"));
  // Any value but 0 imports every IBBS.
  QCOMPARE(control->child(1)->child(0)->text(0), U("IBBSリスト取得制御 : 【全てのIBBSを取得】"));
  QTreeWidgetItem* messages = control->child(2);
  const QStringList expected = {
      U("引用符 : 【＞】"),
      U("レスメッセージヘッダ : 【[ $Hさんへのレスです. $K$B / Fc.$N ]】"),
      U("レスメッセージヘッダ位置 : 【左端揃え】"),
      U("移動レスメッセージヘッダ : 【[ $D より、$Hさんへの移動レスです. $K$B / Fc.$N ]】"),
      U("移動レスメッセージヘッダ位置 : 【左端揃え】"),
      U("メッセージフッタ : 【[ $H  with Ｔobrisk95 Ver.$V in $Y/$M/$D ]】"),
      U("メッセージフッタ位置 : "),  // 5 has no position text
      U("レス元スペースカット : 【カット行わない】"),
      U("レス元タブカット : 【カットを行う】"),
      U("レス元改行のみ行カット : 【カット行わない】"),
      U("ログ読み込み時の表示画面 : 【メッセージツリー】"),
  };
  QCOMPARE(messages->childCount(), expected.size());
  for (int i = 0; i < expected.size(); ++i) QCOMPARE(messages->child(i)->text(0), expected[i]);

  QTreeWidgetItem* screen = tree->topLevelItem(2);
  QCOMPARE(screen->text(0), U("画面設定"));
  QCOMPARE(screen->data(0, TfrmNewSet::kImageRole).toInt(), 15);
  const QStringList groups = {U("ボード一覧"), U("ユーザ一覧"), U("ログメッセージ一覧"), U("書込メッセージ一覧"),
                              U("メッセージビュー")};
  QCOMPARE(screen->childCount(), 5);
  for (int g = 0; g < 5; ++g) {
    QCOMPARE(screen->child(g)->text(0), groups[g]);
    QCOMPARE(screen->child(g)->childCount(), 4);
  }
  QTreeWidgetItem* view = screen->child(4);
  QCOMPARE(view->child(0)->text(0), U("フォント名 : 【ＭＳ Ｐゴシック】"));
  QCOMPARE(view->child(1)->text(0), U("フォントサイズ : 【12Point】"));
  QCOMPARE(view->child(2)->text(0), U("フォント色 : 【$000000ff】"));
  QCOMPARE(view->child(3)->text(0), U("背景色 : 【clWhite】"));
  QCOMPARE(view->child(2)->data(0, TfrmNewSet::kImageRole).toInt(), 12);

  // Nothing is selected yet: no editor, legend or preview.
  QVERIFY(!Child<QLabel>("PreviewPanel")->isVisible());
  QVERIFY(!Child<QWidget>("FooterMacroLegend")->isVisible());
  QVERIFY(Child<QLabel>("TitleLabel")->text().isEmpty());
}

void PropertiesTest::listEditorsSetNodeAndNumber_data() {
  QTest::addColumn<int>("item");
  QTest::addColumn<QString>("combo");
  QTest::addColumn<QString>("field");
  QTest::addColumn<QStringList>("entries");
  const QStringList positions = {U("左端揃え"), U("中央揃え"), U("右端揃え")};
  const QStringList cuts = {U("カットを行う"), U("カットを行わない")};
  QTest::newRow("GetIBbsList") << int(SettingItem::GetIBbsList) << "GetIBbsListCombo"
                               << "GetIBbsList" << QStringList{U("READ属性のみ取得"), U("全てのIBBSを取得")};
  QTest::newRow("MessageFooterPos") << int(SettingItem::MessageFooterPos) << "MessageFooterPosCombo"
                                    << "MessageFooterPos" << positions;
  QTest::newRow("ResMessageHeaderPos") << int(SettingItem::ResMessageHeaderPos) << "ResMessageHeaderPosCombo"
                                       << "ResMessageHeaderPos" << positions;
  QTest::newRow("MvResMessageHeaderPos") << int(SettingItem::MvResMessageHeaderPos) << "MvResMessageHeaderPosCombo"
                                         << "MvResMessageHeaderPos" << positions;
  QTest::newRow("CutSpace") << int(SettingItem::CutSpace) << "CutSpaceCombo"
                            << "CutSpace" << cuts;
  QTest::newRow("CutTab") << int(SettingItem::CutTab) << "CutTabCombo"
                          << "CutTab" << cuts;
  QTest::newRow("CutRet") << int(SettingItem::CutRet) << "CutRetCombo"
                          << "CutRet" << cuts;
  QTest::newRow("OpenPage") << int(SettingItem::OpenPage) << "OpenPageCombo"
                            << "OpenPage" << QStringList{U("メッセージリスト"), U("メッセージツリー")};
}

void PropertiesTest::listEditorsSetNodeAndNumber() {
  QFETCH(int, item);
  QFETCH(QString, combo);
  QFETCH(QString, field);
  QFETCH(QStringList, entries);
  Open();
  QTreeWidgetItem* node = Node(static_cast<SettingItem>(item));
  const QString label = node->text(0).left(node->text(0).indexOf(U(" : ")) + 3);
  Select(node);
  auto* list = Child<QComboBox>(combo.toUtf8().constData());
  QVERIFY(list->isVisible());
  QCOMPARE(list->count(), entries.size());
  for (int i = 0; i < entries.size(); ++i) QCOMPARE(list->itemText(i), entries[i]);

  for (int entry = entries.size() - 1; entry >= 0; --entry) {
    Choose(list, entry);
    QCOMPARE(node->text(0), label + U("【") + entries[entry] + U("】"));
    AppSettings working = dialog_->WorkingCopy();
    for (const auto& f : tobrisk::SettingFields(working)) {
      if (QString::fromStdString(f.name) == field) QCOMPARE(*f.integer, entry);
    }
  }
  const int last = 1;
  Choose(list, last);
  QVERIFY(state_.settings.message_footer_pos == 5);  // nothing reaches AppSettings before OK
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  AppSettings stored = Reloaded();
  for (const auto& f : tobrisk::SettingFields(stored)) {
    if (QString::fromStdString(f.name) == field) QCOMPARE(*f.integer, last);
  }
  // Reopening shows the stored choice on the node and in the list.
  Open();
  node = Node(static_cast<SettingItem>(item));
  Select(node);
  QCOMPARE(list->currentIndex(), last);
}

void PropertiesTest::cutSpaceKeepsOpeningTextUntilChosen() {
  Open();
  QTreeWidgetItem* node = Node(SettingItem::CutSpace);
  QCOMPARE(node->text(0), U("レス元スペースカット : 【カット行わない】"));
  Select(node);
  auto* list = Child<QComboBox>("CutSpaceCombo");
  QCOMPARE(list->currentIndex(), 1);
  // Loading the editor is no edit.
  QCOMPARE(node->text(0), U("レス元スペースカット : 【カット行わない】"));
  Choose(list, 1);
  QCOMPARE(node->text(0), U("レス元スペースカット : 【カットを行わない】"));
  // The keyboard chooses too.
  QTest::keyClick(list, Qt::Key_Up);
  QCOMPARE(node->text(0), U("レス元スペースカット : 【カットを行う】"));
  QCOMPARE(dialog_->WorkingCopy().cut_space, 0);

  // A value without an entry selects nothing.
  QTreeWidgetItem* footer_pos = Node(SettingItem::MessageFooterPos);
  Select(footer_pos);
  QCOMPARE(Child<QComboBox>("MessageFooterPosCombo")->currentIndex(), -1);
}

void PropertiesTest::textEditorsHelpTitlesAndLegends() {
  Open();
  auto* help = Child<QLabel>("HelpLabel");
  auto* title = Child<QLabel>("TitleLabel");
  Select(Tree()->topLevelItem(0));
  QCOMPARE(
      help->text(),
      U("ネット設定では、オフ書きを行うネットの名称、ログヘッダ、ハンドル、アップロードファイルのヘッダの設定を行います。"));
  QVERIFY(title->text().isEmpty());
  // A heading without help keeps the help area's text.
  Select(Tree()->topLevelItem(1));
  QCOMPARE(
      help->text(),
      U("ネット設定では、オフ書きを行うネットの名称、ログヘッダ、ハンドル、アップロードファイルのヘッダの設定を行います。"));

  QTreeWidgetItem* footer = Node(SettingItem::MessageFooter);
  Select(footer);
  QCOMPARE(title->text(), U("メッセージフッタ"));
  QCOMPARE(help->text(), U("メッセージフッタは、書き込みを行ったメッセージの最後に付加する文字列を設定します。"));
  auto* footer_edit = Child<QLineEdit>("MessageFooterEdit");
  QVERIFY(footer_edit->isVisible());
  QCOMPARE(footer_edit->width(), 390);
  QVERIFY(Child<QWidget>("FooterMacroLegend")->isVisible());
  QVERIFY(!Child<QWidget>("HeaderMacroLegend")->isVisible());
  ClearAndType(footer_edit, U("-- $H --"));
  QCOMPARE(footer->text(0), U("メッセージフッタ : 【-- $H --】"));
  ClearAndType(footer_edit, QString());
  QCOMPARE(footer->text(0), U("メッセージフッタ : 《未設定》"));
  QVERIFY(dialog_->WorkingCopy().message_footer.empty());

  Select(Node(SettingItem::MvResMessageHeader));
  QVERIFY(!footer_edit->isVisible());
  QVERIFY(!Child<QWidget>("FooterMacroLegend")->isVisible());
  QVERIFY(Child<QWidget>("HeaderMacroLegend")->isVisible());
  QCOMPARE(title->text(), U("移動レスメッセージヘッダ"));
  QVERIFY(Child<QWidget>("HeaderMacroLegend")->findChildren<QLabel*>().size() == 14);

  QTreeWidgetItem* quote = Node(SettingItem::QuotationMarks);
  Select(quote);
  auto* quote_edit = Child<QLineEdit>("QuotationMarksEdit");
  QCOMPARE(quote_edit->text(), U("＞"));
  QCOMPARE(quote_edit->width(), 60);
  Type(quote_edit, U("＞"));
  QCOMPARE(quote->text(0), U("引用符 : 【＞＞】"));

  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  const AppSettings stored = Reloaded();
  QCOMPARE(stored.quotation_marks, Sjis("＞＞"));
  QVERIFY(stored.message_footer.empty());

  // Group nodes and their children: help with the group's name, and the preview.
  Open();
  Select(Node(SettingItem::DisplayGroup, 1));
  QCOMPARE(help->text(), U("ユーザ一覧に表示するフォント名、フォント色、フォントサイズ、背景色の設定を行います。"));
  QVERIFY(Child<QLabel>("PreviewPanel")->isVisible());
  QCOMPARE(Child<QLabel>("PreviewPanel")->text(), U("（表示例） Tobrisk for Windows95"));
  Select(Node(SettingItem::BackColor, 1));
  QCOMPARE(help->text(), U("ユーザ一覧の背景色を指定します。"));
  QCOMPARE(title->text(), U("背景色"));
  Select(Node(SettingItem::Editor));
  QVERIFY(!Child<QLabel>("PreviewPanel")->isVisible());
}

void PropertiesTest::browseButtonsUseTheChooser() {
  AnsweringChooser chooser;
  tobrisk::gui::ScopedFileChooser scoped(chooser);
  Open();
  QTreeWidgetItem* up_dir = Node(SettingItem::UpDir);
  Select(up_dir);
  // Cancelled: nothing changes.
  QTest::mouseClick(Child<QPushButton>("UpDirButton"), Qt::LeftButton);
  QCOMPARE(chooser.asked, 1);
  QCOMPARE(chooser.last_title, U("アップフォルダ参照"));
  QCOMPARE(up_dir->text(0), U("アップフォルダ : 《未設定》"));
  chooser.folder = U("/srv/アップ");
  QTest::mouseClick(Child<QPushButton>("UpDirButton"), Qt::LeftButton);
  QCOMPARE(Child<QLineEdit>("UpDirEdit")->text(), U("/srv/アップ"));
  QCOMPARE(up_dir->text(0), U("アップフォルダ : 【/srv/アップ】"));
  QCOMPARE(dialog_->WorkingCopy().up_dir, std::string("/srv/アップ"));  // native path bytes

  // A left click on a node selects it.
  QTreeWidgetItem* log_dir = Node(SettingItem::LogDir);
  Tree()->scrollToItem(log_dir);
  QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualItemRect(log_dir).center());
  QTRY_VERIFY(Child<QLineEdit>("LogDirEdit")->isVisible());
  QVERIFY(!Child<QLineEdit>("UpDirEdit")->isVisible());
  QTest::mouseClick(Child<QPushButton>("LogDirButton"), Qt::LeftButton);
  QCOMPARE(chooser.last_title, U("ログフォルダ参照"));
  QCOMPARE(chooser.last_directory, U("/home/taro/ログ"));

  QTreeWidgetItem* editor = Node(SettingItem::Editor);
  Select(editor);
  chooser.file = U("/usr/bin/mousepad");
  QTest::mouseClick(Child<QPushButton>("EditorButton"), Qt::LeftButton);
  QCOMPARE(chooser.last_request.title, U("実行エディタ参照"));
  QCOMPARE(chooser.last_request.multiple, false);
  QCOMPARE(chooser.last_request.name_filters.size(), 2);
  // Programs here have no extension: every file is offered first, from the
  // folder of the programs.
  QVERIFY(chooser.last_request.name_filters[0].startsWith(U("全てのファイル(*.*)")));
  QCOMPARE(chooser.last_request.directory, U("/usr/bin"));
  QCOMPARE(editor->text(0), U("実行エディタ名 : 【/usr/bin/mousepad】"));
  // The encoding an external editor reads and writes.
  Select(Node(SettingItem::EditorEncoding));
  Choose(Child<QComboBox>("EditorEncodingCombo"), 0);
  QCOMPARE(Node(SettingItem::EditorEncoding)->text(0), U("エディタの文字コード : 【Shift-JIS】"));
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(Reloaded().editor, std::string("/usr/bin/mousepad"));
  QCOMPARE(Reloaded().editor_encoding, tobrisk::kEditorShiftJis);
  QCOMPARE(Reloaded().up_dir, std::string("/srv/アップ"));
}

void PropertiesTest::emptiedLogHeaderIsDroppedByCancel() {
  const std::string on_disk = tobrisk::ReadWholeFile(NetFile());
  Open();
  QTreeWidgetItem* header = Node(SettingItem::LogHeader, 1);
  Select(header);
  auto* edit = Child<QLineEdit>("LogHeaderEdit");
  QVERIFY(edit->isVisible());
  QCOMPARE(edit->text(), U("WXYZ"));
  QCOMPARE(edit->width(), 60);
  QCOMPARE(Child<QLabel>("TitleLabel")->text(), U("ログヘッダ"));
  ClearAndType(edit, QString());
  QCOMPARE(header->text(0), U("ログヘッダ : 《未設定》"));
  QVERIFY(state_.nets.At(1).log_header.empty());  // at once, before OK

  // Cancel drops the edit: the program goes on with the nets of NET.TDT.
  QTest::mouseClick(Child<QPushButton>("CancelButton"), Qt::LeftButton);
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(dialog_->result(), int(QDialog::Rejected));
  QCOMPARE(state_.nets.At(1).log_header, std::string("WXYZ"));
  QCOMPARE(tobrisk::ReadWholeFile(NetFile()), on_disk);
  Open();
  QCOMPARE(state_.nets.At(1).log_header, std::string("WXYZ"));
  QCOMPARE(Node(SettingItem::LogHeader, 1)->text(0), U("ログヘッダ : 【WXYZ】"));
}

void PropertiesTest::netFieldsCannotTakeTabs() {
  Open();
  QTreeWidgetItem* handle = Node(SettingItem::HandleName, 0);
  Select(handle);
  auto* edit = Child<QLineEdit>("HandleNameEdit");
  edit->setText(U("Ta\tro"));
  emit edit->textEdited(edit->text());  // as a paste would
  QCOMPARE(state_.nets.At(0).handle_name, std::string("Ta ro"));
  QCOMPARE(edit->text(), U("Ta ro"));
  QCOMPARE(handle->text(0), U("ハンドル名 : 【Ta ro】"));
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QVERIFY(tobrisk::ReadWholeFile(NetFile()).starts_with("ABCD\tNetA\tTa ro\tUPA\r\n"));
}

void PropertiesTest::newNetIsAppended() {
  Open();
  Select(Node(SettingItem::NetNames));
  QCOMPARE(
      Child<QLabel>("HelpLabel")->text(),
      U("【ネット名称】は既に設定されているネット名称の一覧です。ここでマウスを右クリックすると、新規のネットを登録出来ます。"));
  Child<QAction>("NewNetItem")->trigger();
  QCOMPARE(state_.nets.Count(), 4);
  QTreeWidgetItem* node = Tree()->currentItem();
  QCOMPARE(node->text(0), U("新規ネット"));
  QCOMPARE(node->data(0, TfrmNewSet::kIndexRole).toInt(), 3);
  QCOMPARE(node->childCount(), 3);
  QCOMPARE(node->child(0)->text(0), U("ログヘッダ : 《未設定》"));
  QCOMPARE(node->child(1)->text(0), U("ハンドル名 : 《未設定》"));
  QCOMPARE(node->child(2)->text(0), U("アップファイルヘッダ : 《未設定》"));
  auto* name_edit = Child<QLineEdit>("NetNameEdit");
  QVERIFY(name_edit->isVisible());
  QCOMPARE(name_edit->text(), U("新規ネット"));
  QCOMPARE(Child<QLabel>("TitleLabel")->text(), U("ネット名称"));
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(tobrisk::ReadWholeFile(NetFile()), Sjis(kThreeNets) + Sjis("\t新規ネット\t\t\r\n"));

  // A second net, with typed values.
  Open();
  Select(Node(SettingItem::NetNames));
  Child<QAction>("NewNetItem")->trigger();
  QTreeWidgetItem* added = Tree()->currentItem();
  ClearAndType(name_edit, U("ネットＤ"));
  QCOMPARE(added->text(0), U("ネットＤ"));
  ClearAndType(name_edit, QString());
  QCOMPARE(added->text(0), QString());  // an empty name leaves the node empty
  Type(name_edit, U("ネットＤ"));
  Select(Node(SettingItem::LogHeader, 4));
  Type(Child<QLineEdit>("LogHeaderEdit"), U("QRST"));
  Select(Node(SettingItem::UpFileHeader, 4));
  Type(Child<QLineEdit>("UpFileHeaderEdit"), U("UPD"));
  QCOMPARE(Node(SettingItem::UpFileHeader, 4)->text(0), U("アップファイルヘッダ : 【UPD】"));
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(tobrisk::ReadWholeFile(NetFile()),
           Sjis(kThreeNets) + Sjis("\t新規ネット\t\t\r\n") + Sjis("QRST\tネットＤ\t\tUPD\r\n"));
}

void PropertiesTest::popupOffersNetCommands() {
  Open();
  QTreeWidget* tree = Tree();
  auto popup_actions = [&](QTreeWidgetItem* node) {
    tree->scrollToItem(node);
    QStringList texts;
    QTimer closer;  // reads and closes the menu from inside its own event loop
    closer.setSingleShot(true);
    connect(&closer, &QTimer::timeout, this, [&] {
      if (QWidget* popup = QApplication::activePopupWidget()) {
        for (QAction* a : popup->actions()) texts << a->text();
        popup->close();
      }
    });
    closer.start(0);
    emit tree->customContextMenuRequested(tree->visualItemRect(node).center());
    return texts;
  };
  QCOMPARE(popup_actions(Node(SettingItem::NetNames)), QStringList{U("新規ネット追加(&N)")});
  QCOMPARE(tree->currentItem(), Node(SettingItem::NetNames));
  QTreeWidgetItem* net_c = Node(SettingItem::Net, 2);
  QCOMPARE(popup_actions(net_c), QStringList{U("ネットを削除(&D)")});
  QCOMPARE(tree->currentItem(), net_c);  // the right click selected the node
  QVERIFY(Child<QLineEdit>("NetNameEdit")->isVisible());
  QCOMPARE(popup_actions(Node(SettingItem::CutTab)), QStringList());
  QVERIFY(Child<QComboBox>("CutTabCombo")->isVisible());
}

void PropertiesTest::deletingTheMiddleNet_data() {
  QTest::addColumn<int>("default_net");
  QTest::addColumn<int>("expected");
  QTest::newRow("before the deleted net") << 0 << 0;
  QTest::newRow("the deleted net") << 1 << -1;
  QTest::newRow("after the deleted net") << 2 << 1;
  QTest::newRow("no net") << -1 << -1;
}

void PropertiesTest::deletingTheMiddleNet() {
  QFETCH(int, default_net);
  QFETCH(int, expected);
  MakeDialog();
  state_.settings.default_net = default_net;
  Open();
  Select(Node(SettingItem::Net, 1));
  Child<QAction>("DeleteNetItem")->trigger();
  QCOMPARE(state_.nets.Count(), 2);
  QCOMPARE(state_.nets.At(1).net_name, std::string("NetC"));
  QTreeWidgetItem* names = Node(SettingItem::NetNames);
  QCOMPARE(names->childCount(), 2);
  QCOMPARE(names->child(1)->text(0), U("NetC"));
  QCOMPARE(names->child(1)->data(0, TfrmNewSet::kIndexRole).toInt(), 1);  // renumbered
  QCOMPARE(state_.settings.default_net, expected);

  // Editing the renumbered net edits the right one.
  Select(Node(SettingItem::HandleName, 1));
  QCOMPARE(Child<QLineEdit>("HandleNameEdit")->text(), U("はなこ"));
  Type(Child<QLineEdit>("HandleNameEdit"), U("さん"));
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(tobrisk::ReadWholeFile(NetFile()), Sjis("ABCD\tNetA\tTaro\tUPA\r\nEFGH\tNetC\tはなこさん\tUPC\r\n"));
  QCOMPARE(Reloaded().default_net, expected);
}

void PropertiesTest::cancelledDeletionLeavesNetsAndDefaultNet() {
  MakeDialog();
  state_.settings.default_net = 2;
  Open();
  Select(Node(SettingItem::Net, 0));
  Child<QAction>("DeleteNetItem")->trigger();
  QCOMPARE(state_.settings.default_net, 1);  // still NetC in the edited list
  QTest::keyClick(dialog_.get(), Qt::Key_Escape);
  QTRY_VERIFY(!dialog_->isVisible());
  // Cancel puts the nets of NET.TDT back, NetC the third again.
  QCOMPARE(state_.nets.Count(), 3);
  QCOMPARE(state_.settings.default_net, 2);
  QCOMPARE(dialog_->NetIndexAfterEdit(2), 2);
  Open();
  QCOMPARE(state_.nets.Count(), 3);
  QCOMPARE(state_.settings.default_net, 2);

  // Confirmed, the deletion moves NetC up.
  Select(Node(SettingItem::Net, 0));
  Child<QAction>("DeleteNetItem")->trigger();
  Select(Node(SettingItem::NetNames));
  Child<QAction>("NewNetItem")->trigger();
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(dialog_->NetIndexAfterEdit(0), -1);
  QCOMPARE(dialog_->NetIndexAfterEdit(1), 0);
  QCOMPARE(dialog_->NetIndexAfterEdit(2), 1);
  QCOMPARE(Reloaded().default_net, 1);
}

void PropertiesTest::colourOutsideTheSixteen() {
  MakeDialog();
  QSignalSpy applied(dialog_.get(), &TfrmNewSet::displaySettingsChanged);
  Open();
  QTreeWidgetItem* back = Node(SettingItem::BackColor, 1);
  QCOMPARE(back->text(0), U("背景色 : 【clWindow】"));
  Select(back);
  auto* colours = Child<QComboBox>("BackColorCombo");
  QVERIFY(colours->isVisible());
  QCOMPARE(colours->currentIndex(), -1);
  QCOMPARE(colours->count(), 16);
  const QStringList names = {U("黒"), U("茶色"), U("緑"),   U("ｵﾘｰﾌﾞ"), U("紺"), U("紫"),   U("青緑"), U("灰色"),
                             U("銀"), U("赤"),   U("黄緑"), U("黄"),    U("青"), U("赤紫"), U("水色"), U("白")};
  for (int i = 0; i < 16; ++i) {
    QCOMPARE(colours->itemText(i), names[i]);
    QVERIFY(!colours->itemIcon(i).isNull());
  }
  auto* preview = Child<QLabel>("PreviewPanel");
  QVERIFY(preview->isVisible());
  Choose(colours, 4);
  QCOMPARE(back->text(0), U("背景色 : 【clNavy】"));
  QCOMPARE(dialog_->WorkingCopy().Font(tobrisk::Display::UserList).back_color, std::string("clNavy"));
  QCOMPARE(preview->palette().color(QPalette::Window), QColor(0, 0, 0x80));

  QTreeWidgetItem* fore = Node(SettingItem::FontColor, 1);
  Select(fore);
  auto* fore_colours = Child<QComboBox>("FontColorCombo");
  QCOMPARE(fore_colours->currentIndex(), 0);  // clBlack
  Choose(fore_colours, 11);
  QCOMPARE(fore->text(0), U("フォント色 : 【clYellow】"));
  QCOMPARE(preview->palette().color(QPalette::WindowText), QColor(0xFF, 0xFF, 0));
  QCOMPARE(applied.count(), 0);
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(applied.count(), 1);
  QCOMPARE(state_.settings.Font(tobrisk::Display::UserList).back_color, std::string("clNavy"));
  QCOMPARE(Reloaded().Font(tobrisk::Display::UserList).font_color, std::string("clYellow"));
  // The other groups keep their stored texts, the one outside the sixteen too.
  QCOMPARE(Reloaded().Font(tobrisk::Display::MessageView).font_color, std::string("$000000ff"));
}

void PropertiesTest::fontFacesAndSizes() {
  Open();
  for (const QString& face : dialog_->FontFaces()) QVERIFY(!face.startsWith('@'));
  QTreeWidgetItem* size = Node(SettingItem::FontSize, 4);
  Select(size);
  auto* edit = Child<QLineEdit>("FontSizeEdit");
  QCOMPARE(edit->text(), U("12"));
  auto* preview = Child<QLabel>("PreviewPanel");
  QCOMPARE(preview->font().pointSize(), 12);
  ClearAndType(edit, QString());
  QCOMPARE(size->text(0), U("フォントサイズ : 【12Point】"));  // emptying changes nothing
  QCOMPARE(dialog_->WorkingCopy().Font(tobrisk::Display::MessageView).font_size, 12);
  Type(edit, U("-x1"));
  QCOMPARE(edit->text(), U("1"));  // digits only
  Type(edit, U("85"));
  QCOMPARE(edit->text(), U("18"));  // two digits at most
  QCOMPARE(size->text(0), U("フォントサイズ : 【18Point】"));
  QCOMPARE(preview->font().pointSize(), 18);
  ClearAndType(edit, U("0"));
  QCOMPARE(size->text(0), U("フォントサイズ : 【0Point】"));  // accepted as it is

  QTreeWidgetItem* name = Node(SettingItem::FontName, 4);
  Select(name);
  auto* faces = Child<QComboBox>("FontNameCombo");
  QCOMPARE(faces->count(), dialog_->FontFaces().size());
  QCOMPARE(faces->currentIndex(), int(dialog_->FontFaces().indexOf(U("ＭＳ Ｐゴシック"))));
  if (!dialog_->FontFaces().isEmpty()) {
    const QString face = dialog_->FontFaces().back();
    Choose(faces, faces->count() - 1);
    QCOMPARE(name->text(0), U("フォント名 : 【") + face + U("】"));
    QCOMPARE(preview->font().family(), face);
  }
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(Reloaded().Font(tobrisk::Display::MessageView).font_size, 0);
  if (!dialog_->FontFaces().isEmpty()) {
    QCOMPARE(tobrisk::gui::FromSjis(Reloaded().Font(tobrisk::Display::MessageView).font_name),
             dialog_->FontFaces().back());
  }
}

void PropertiesTest::settingsWriteFailureKeepsDialogOpen() {
  FailingStore failing;
  MakeDialog(&failing);
  const AppSettings before = state_.settings;
  QSignalSpy applied(dialog_.get(), &TfrmNewSet::displaySettingsChanged);
  Open();
  Select(Node(SettingItem::QuotationMarks));
  Type(Child<QLineEdit>("QuotationMarksEdit"), U("|"));
  std::remove(NetFile().c_str());
  ClickOk();
  QVERIFY(dialog_->isVisible());
  QCOMPARE(prompter_.boxes.size(), size_t(1));
  QCOMPARE(prompter_.boxes[0].kind, std::string("error"));
  QVERIFY(prompter_.boxes[0].text.find("Permission denied") != std::string::npos);
  QVERIFY(state_.settings == before);        // nothing confirmed
  QVERIFY(!tobrisk::FileExists(NetFile()));  // NET.TDT comes after the settings
  QCOMPARE(applied.count(), 0);
  QCOMPARE(dialog_->WorkingCopy().quotation_marks, Sjis("＞|"));  // the edits are still there
  dialog_->reject();
}

void PropertiesTest::netFileWriteFailureKeepsDialogOpen() {
  MakeDialog();
  QSignalSpy applied(dialog_.get(), &TfrmNewSet::displaySettingsChanged);
  Open();
  Select(Node(SettingItem::CutTab));
  Choose(Child<QComboBox>("CutTabCombo"), 1);
  tobrisk::testing::RemoveTree(work_dir_);  // the work folder went away
  ClickOk();
  QVERIFY(dialog_->isVisible());
  QCOMPARE(prompter_.boxes.size(), size_t(1));
  QCOMPARE(prompter_.boxes[0].kind, std::string("error"));
  QVERIFY(prompter_.boxes[0].text.find("NET.TDT") != std::string::npos);
  // The settings were saved first and are in force.
  QCOMPARE(Reloaded().cut_tab, 1);
  QCOMPARE(state_.settings.cut_tab, 1);
  QCOMPARE(applied.count(), 1);

  // With the folder back, OK writes the nets and closes.
  tobrisk::CreateDirectory(work_dir_);
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(dialog_->result(), int(QDialog::Accepted));
  QCOMPARE(tobrisk::ReadWholeFile(NetFile()), Sjis(kThreeNets));
}

void PropertiesTest::missingNetFileIsCreated() {
  // A missing NET.TDT is the first start: reported, no nets, the dialog opens.
  std::remove(NetFile().c_str());
  MakeDialog();
  QVERIFY(dialog_->PrepareShow());
  QCOMPARE(prompter_.boxes.size(), size_t(1));
  QCOMPARE(prompter_.boxes[0].text, Sjis("[NET.TDT] ファイルが見つかりませんでした。"));
  QCOMPARE(state_.nets.Count(), 0);
  QCOMPARE(Node(SettingItem::NetNames)->childCount(), 0);

  // OK then creates it.
  dialog_->show();
  Select(Node(SettingItem::NetNames));
  Child<QAction>("NewNetItem")->trigger();
  ClickOk();
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(tobrisk::ReadWholeFile(NetFile()), Sjis("\t新規ネット\t\t\r\n"));
}

void PropertiesTest::escapeCancels() {
  Open();
  Select(Node(SettingItem::QuotationMarks));
  Type(Child<QLineEdit>("QuotationMarksEdit"), U("x"));
  QTest::keyClick(dialog_.get(), Qt::Key_Escape);
  QTRY_VERIFY(!dialog_->isVisible());
  QCOMPARE(dialog_->result(), int(QDialog::Rejected));
  QCOMPARE(state_.settings.quotation_marks, Sjis("＞"));
  QCOMPARE(Reloaded().quotation_marks, Sjis("＞"));
  Open();
  QCOMPARE(Node(SettingItem::QuotationMarks)->text(0), U("引用符 : 【＞】"));
}

void PropertiesTest::colourTexts() {
  using tobrisk::gui::ColorFromStoredText;
  using tobrisk::gui::StoredTextOfColor;
  QCOMPARE(ColorFromStoredText("clWhite"), QColor(255, 255, 255));
  QCOMPARE(ColorFromStoredText("CLMAROON"), QColor(0x80, 0, 0));
  QCOMPARE(ColorFromStoredText("clnavy"), QColor(0, 0, 0x80));
  QCOMPARE(ColorFromStoredText("$000000ff"), QColor(255, 0, 0));  // 00bbggrr
  QCOMPARE(ColorFromStoredText("$00ff0000"), QColor(0, 0, 255));
  QCOMPARE(ColorFromStoredText("32768"), QColor(0, 0x80, 0));  // decimal
  QCOMPARE(ColorFromStoredText("0x0000FFFF"), QColor(255, 255, 0));
  QCOMPARE(ColorFromStoredText("clMoneyGreen"), QColor(0xC0, 0xDC, 0xC0));
  QCOMPARE(ColorFromStoredText("clWindow"), QGuiApplication::palette().color(QPalette::Base));
  QCOMPARE(ColorFromStoredText("-2147483643"), QGuiApplication::palette().color(QPalette::Base));  // $80000005
  QCOMPARE(ColorFromStoredText("$80000008"), QGuiApplication::palette().color(QPalette::Text));
  QVERIFY(!ColorFromStoredText("").isValid());
  QVERIFY(!ColorFromStoredText("abc").isValid());
  QVERIFY(!ColorFromStoredText("clNone").isValid());
  QVERIFY(!ColorFromStoredText("$1FFFFFFF").isValid());
  QVERIFY(!ColorFromStoredText("$800000ff").isValid());  // no such system colour

  for (const auto& basic : tobrisk::gui::BasicColors()) {
    QCOMPARE(StoredTextOfColor(ColorFromStoredText(basic.identifier)), std::string(basic.identifier));
    QCOMPARE(tobrisk::gui::BasicColorIndex(tobrisk::UpperAscii(basic.identifier)),
             int(&basic - tobrisk::gui::BasicColors().data()));
  }
  QCOMPARE(StoredTextOfColor(QColor(0x12, 0x34, 0x56)), std::string("$00563412"));
  QCOMPARE(ColorFromStoredText(StoredTextOfColor(QColor(0x12, 0x34, 0xAB))), QColor(0x12, 0x34, 0xAB));
  QCOMPARE(tobrisk::gui::BasicColorIndex("clWindow"), -1);
}

namespace {

// The resident size of this process, in kB.
long ResidentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  }
  return -1;
}

}  // namespace

void PropertiesTest::thousandNetsStayLight() {
  std::string nets;
  for (int i = 0; i < 1000; ++i) {
    nets += "N" + std::to_string(1000 + i).substr(1) + "\t" + Sjis("ネット") + std::to_string(i) + "\t" +
            Sjis("はなこ") + "\tUP\r\n";
  }
  tobrisk::testing::WriteFile(NetFile(), nets);
  MakeDialog();
  const long before = ResidentKb();
  if (before < 0) QSKIP("no /proc/self/status");
  Open();
  QCOMPARE(Tree()->topLevelItem(0)->child(0)->childCount(), 1000);
  // Showing it again (every showing rebuilds the tree) must not add up either.
  dialog_->hide();
  QVERIFY(dialog_->PrepareShow());
  dialog_->show();
  QTest::qWait(50);
  const long grown_mb = (ResidentKb() - before) / 1024;
  qInfo("1000 nets: the dialog grew the process by %ld MB", grown_mb);
  QVERIFY2(grown_mb < 60, qPrintable(QString::number(grown_mb)));
  // The last net's nodes still show and edit their own net.
  QTreeWidgetItem* last = Tree()->topLevelItem(0)->child(0)->child(999);
  QCOMPARE(last->text(0), QStringLiteral("ネット999"));
  Select(last->child(0));
  QCOMPARE(Child<QLineEdit>("LogHeaderEdit")->text(), QStringLiteral("N999"));
}

void PropertiesTest::screenshot() {
  Open();
  Select(Node(SettingItem::MessageFooter));
  Type(Child<QLineEdit>("MessageFooterEdit"), U("！"));
  Tree()->scrollToItem(Node(SettingItem::MessageFooter));
  const QPixmap shot = dialog_->grab();
  QVERIFY(!shot.isNull());
  if (const QString path = qEnvironmentVariable("TOBRISK_PROPS_SHOT"); !path.isEmpty()) {
    QVERIFY(shot.save(path));
    Select(Node(SettingItem::BackColor, 4));
    QVERIFY(dialog_->grab().save(QString(path).replace(".png", "-colour.png")));
  }
  dialog_->reject();
}

QTEST_MAIN(PropertiesTest)
#include "test_properties.moc"
