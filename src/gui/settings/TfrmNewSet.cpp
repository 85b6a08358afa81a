#include "gui/settings/TfrmNewSet.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

#include "gui/reading/display_settings.h"
#include "core/settings/app_settings.h"
#include "core/settings/net_definitions.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"
#include "gui/widgets/colors.h"
#include "gui/widgets/error_report.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/gui_prompter.h"

namespace tobrisk::gui {
namespace {

constexpr int kTextWidth = 395;
constexpr int kTemplateWidth = 390;
constexpr int kShortWidth = 60;

// The images of the tree: any pictures will do as long as each number keeps one.
QIcon TreeIcon(const QStyle* style, int image) {
  switch (image) {
    case 2: return style->standardIcon(QStyle::SP_DirIcon);
    case 4: return QIcon::fromTheme("accessories-text-editor", style->standardIcon(QStyle::SP_FileIcon));
    case 5: return style->standardIcon(QStyle::SP_FileDialogContentsView);
    case 6: return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    case 7: return QIcon::fromTheme("preferences-desktop-font", style->standardIcon(QStyle::SP_FileDialogInfoView));
    case 10: return style->standardIcon(QStyle::SP_DesktopIcon);
    case 11: return style->standardIcon(QStyle::SP_FileDialogInfoView);
    case 12: {
      QPixmap pixmap(16, 16);
      pixmap.fill(Qt::transparent);
      QPainter painter(&pixmap);
      painter.fillRect(1, 1, 7, 7, Qt::red);
      painter.fillRect(8, 1, 7, 7, Qt::green);
      painter.fillRect(1, 8, 7, 7, Qt::blue);
      painter.fillRect(8, 8, 7, 7, Qt::yellow);
      painter.setPen(Qt::black);
      painter.drawRect(0, 0, 15, 15);
      return QIcon(pixmap);
    }
    case 13: return style->standardIcon(QStyle::SP_DriveNetIcon);
    case 14: return style->standardIcon(QStyle::SP_DirOpenIcon);
    case 15: return style->standardIcon(QStyle::SP_ComputerIcon);
    case 16: return style->standardIcon(QStyle::SP_DirHomeIcon);
    case 17: return QIcon::fromTheme("preferences-system", style->standardIcon(QStyle::SP_FileDialogListView));
    default: return {};
  }
}

QIcon ColorSwatch(QRgb rgb) {
  QPixmap pixmap(24, 14);
  pixmap.fill(QColor(rgb));
  QPainter painter(&pixmap);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
  return QIcon(pixmap);
}

SettingItem ItemOf(const QTreeWidgetItem* node) {
  return static_cast<SettingItem>(node->data(0, TfrmNewSet::kItemRole).toInt());
}

bool IsNetField(SettingItem item) { return IsNetItem(item); }
bool IsGroupItem(SettingItem item) { return item != SettingItem::DisplayGroup && IsDisplayItem(item); }

// NET.TDT is one line per net with TAB between the fields: a TAB or a line end
// typed or pasted into a net field would shift or split the net when read back.
QString NetFieldText(QString text) {
  for (QChar& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

TfrmNewSet::TfrmNewSet(WorkState& state, const Ports& ports, QWidget* parent)
    : QDialog(parent), state_(state), ports_(ports) {
  setObjectName("TfrmNewSet");
  setWindowTitle(QStringLiteral("プロパティー"));
  setModal(true);
  BuildFontList();
  BuildWidgets();
  HideEditors();
}

void TfrmNewSet::BuildFontList() {
  for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
    if (family.startsWith('@')) continue;  // vertical-writing variants
    // The face is stored in Shift-JIS: a name without a Shift-JIS form could not come back.
    if (FromSjis(ToSjis(family)) != family) continue;
    font_faces_ << family;
  }
}

void TfrmNewSet::BuildWidgets() {
  auto* layout = new QVBoxLayout(this);

  SettingTree = new QTreeWidget(this);
  SettingTree->setObjectName("SettingTree");
  SettingTree->setHeaderHidden(true);
  SettingTree->setColumnCount(1);
  SettingTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SettingTree->setContextMenuPolicy(Qt::CustomContextMenu);
  SettingTree->setFixedHeight(250);
  layout->addWidget(SettingTree);
  connect(SettingTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
    if (!rebuilding_) SelectNode(node);
  });
  connect(SettingTree, &QWidget::customContextMenuRequested, this, &TfrmNewSet::TreePopup);

  HelpLabel = new QLabel(this);
  HelpLabel->setObjectName("HelpLabel");
  HelpLabel->setTextFormat(Qt::PlainText);
  HelpLabel->setWordWrap(true);
  HelpLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  HelpLabel->setFrameShape(QFrame::StyledPanel);
  HelpLabel->setFrameShadow(QFrame::Sunken);
  HelpLabel->setMargin(4);
  HelpLabel->setFixedHeight(64);
  layout->addWidget(HelpLabel);

  TitleLabel = new QLabel(this);
  TitleLabel->setObjectName("TitleLabel");
  TitleLabel->setTextFormat(Qt::PlainText);
  QFont title_font = TitleLabel->font();
  title_font.setBold(true);
  TitleLabel->setFont(title_font);
  layout->addWidget(TitleLabel);

  auto* area = new QWidget(this);
  area->setFixedHeight(150);
  BuildEditors(area);
  layout->addWidget(area);

  NewNetItem = new QAction(QStringLiteral("新規ネット追加(&N)"), this);
  NewNetItem->setObjectName("NewNetItem");
  connect(NewNetItem, &QAction::triggered, this, &TfrmNewSet::NewNetItemClick);
  DeleteNetItem = new QAction(QStringLiteral("ネットを削除(&D)"), this);
  DeleteNetItem->setObjectName("DeleteNetItem");
  connect(DeleteNetItem, &QAction::triggered, this, &TfrmNewSet::DeleteNetItemClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  OkButton = new QPushButton(QStringLiteral("OK"), this);
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &TfrmNewSet::OkButtonClick);
  CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setAutoDefault(false);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  layout->addLayout(buttons);

  setFixedSize(540, layout->sizeHint().height());
}

QWidget* TfrmNewSet::BuildLegend(const char* object_name,
                                 const std::vector<std::pair<const char*, const char*>>& pairs) {
  auto* legend = new QWidget;
  legend->setObjectName(object_name);
  auto* grid = new QGridLayout(legend);
  grid->setContentsMargins(0, 4, 0, 0);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  for (size_t i = 0; i < pairs.size(); ++i) {
    const int row = static_cast<int>(i / 4);
    const int column = static_cast<int>(i % 4) * 2;
    auto* macro = new QLabel(Utf(pairs[i].first), legend);
    QFont bold = macro->font();
    bold.setBold(true);
    macro->setFont(bold);
    grid->addWidget(macro, row, column);
    grid->addWidget(new QLabel(Utf(pairs[i].second), legend), row, column + 1);
  }
  grid->setColumnStretch(8, 1);
  return legend;
}

void TfrmNewSet::BuildEditors(QWidget* area) {
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);

  for (const SettingItem item : EditorItems()) {
    const ItemDef& def = DefOf(item);
    Editor editor;
    editor.row = new QWidget(area);
    auto* row = new QHBoxLayout(editor.row);
    row->setContentsMargins(0, 0, 0, 0);
    const QString name = Utf(def.name);
    switch (def.editor) {
      case EditorKind::Text:
      case EditorKind::ShortText:
      case EditorKind::Template:
      case EditorKind::Folder:
      case EditorKind::File:
      case EditorKind::Number: {
        editor.edit = new QLineEdit(editor.row);
        editor.edit->setObjectName(name + "Edit");
        const int width = def.editor == EditorKind::ShortText  ? kShortWidth
                          : def.editor == EditorKind::Template ? kTemplateWidth
                          : def.editor == EditorKind::Number   ? 40
                                                               : kTextWidth;
        editor.edit->setFixedWidth(item == SettingItem::Editor ? kTextWidth - 100 : width);
        row->addWidget(editor.edit);
        if (def.editor == EditorKind::Number) {
          editor.edit->setMaxLength(2);
          editor.edit->setValidator(
              new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), editor.edit));
          connect(editor.edit, &QLineEdit::textEdited, this, &TfrmNewSet::FontSizeEdited);
        } else {
          connect(editor.edit, &QLineEdit::textEdited, this,
                  [this, item](const QString& text) { TextEdited(item, text); });
        }
        if (def.editor == EditorKind::Folder || def.editor == EditorKind::File) {
          auto* button = new QPushButton(QStringLiteral("参照"), editor.row);
          button->setObjectName(name + "Button");
          button->setAutoDefault(false);
          connect(button, &QPushButton::clicked, this, [this, item] { Browse(item); });
          row->addWidget(button);
        }
        if (item == SettingItem::Editor) {
          // An empty Editor is the built-in editor: one button to choose it.
          editor.edit->setPlaceholderText(QStringLiteral("空欄のときは内蔵エディタ"));
          auto* builtin = new QPushButton(QStringLiteral("内蔵エディタ"), editor.row);
          builtin->setObjectName("EditorBuiltinButton");
          builtin->setAutoDefault(false);
          connect(builtin, &QPushButton::clicked, this, [this, edit = editor.edit] {
            edit->clear();
            TextEdited(SettingItem::Editor, QString());
          });
          row->addWidget(builtin);
        }
        break;
      }
      case EditorKind::List:
      case EditorKind::FontList:
      case EditorKind::ColorList: {
        editor.combo = new QComboBox(editor.row);
        editor.combo->setObjectName(name + "Combo");
        if (def.editor == EditorKind::List) {
          for (const char* entry : def.entries) editor.combo->addItem(Utf(entry));
          editor.combo->setMinimumWidth(200);
          connect(editor.combo, &QComboBox::activated, this, [this, item](int entry) { ListActivated(item, entry); });
        } else if (def.editor == EditorKind::FontList) {
          editor.combo->addItems(font_faces_);
          editor.combo->setMinimumWidth(260);
          editor.combo->setMaxVisibleItems(16);
          connect(editor.combo, &QComboBox::activated, this, &TfrmNewSet::FontNameActivated);
        } else {
          for (const BasicColor& color : BasicColors()) {
            editor.combo->addItem(ColorSwatch(color.rgb),
                                  QString::fromUtf8(color.name.data(), static_cast<qsizetype>(color.name.size())));
          }
          editor.combo->setMinimumWidth(160);
          editor.combo->setMaxVisibleItems(kBasicColorCount);
          connect(editor.combo, &QComboBox::activated, this, [this, item](int entry) { ColorActivated(item, entry); });
        }
        row->addWidget(editor.combo);
        break;
      }
      case EditorKind::None: break;
    }
    row->addStretch();
    layout->addWidget(editor.row);
    editors_[item] = editor;
  }

  FooterMacroLegend = BuildLegend("FooterMacroLegend", {{"$Y", "西暦（４桁)"},
                                                        {"$M", "月（01～12）"},
                                                        {"$D", "日（01～31）"},
                                                        {"$h", "時間（0～23）"},
                                                        {"$m", "分(00～59）"},
                                                        {"$s", "秒（00～59）"},
                                                        {"$V", "Tobrisk の Ver"},
                                                        {"$H", "ハンドル名"}});
  HeaderMacroLegend = BuildLegend("HeaderMacroLegend", {{"$N", "Fc番号"},
                                                        {"$B", "ボード番号"},
                                                        {"$I", "ID番号"},
                                                        {"$H", "ハンドル名"},
                                                        {"$T", "タイトル"},
                                                        {"$K", "ボード種別"},
                                                        {"$D", "ボード名"}});
  FooterMacroLegend->setParent(area);
  HeaderMacroLegend->setParent(area);
  layout->addWidget(FooterMacroLegend);
  layout->addWidget(HeaderMacroLegend);

  PreviewPanel = new QLabel(QStringLiteral("（表示例） Tobrisk for Windows95"), area);
  PreviewPanel->setObjectName("PreviewPanel");
  PreviewPanel->setAutoFillBackground(true);
  PreviewPanel->setFrameShape(QFrame::Panel);
  PreviewPanel->setFrameShadow(QFrame::Sunken);
  PreviewPanel->setAlignment(Qt::AlignCenter);
  PreviewPanel->setFixedSize(kTextWidth, 60);
  layout->addWidget(PreviewPanel);
  layout->addStretch();
}

bool TfrmNewSet::ShowModal() {
  if (!PrepareShow()) return false;
  return exec() == QDialog::Accepted;
}

bool TfrmNewSet::PrepareShow() {
  HideEditors();
  working_ = state_.settings;
  ResetNetOrigin();

  NetList previous = state_.nets;
  ClearNetList(state_.nets);
  try {
    LoadNetDefinitions(state_.nets, state_.work_dir, *ports_.prompter);
  } catch (const IoError& e) {
    // Editing a partly read list and saving it with OK would lose the nets that
    // were not read: the dialog does not open.
    state_.nets = std::move(previous);
    ReportError(*ports_.prompter, e);
    return false;
  }
  nets_on_file_ = state_.nets;
  default_net_on_file_ = state_.settings.default_net;
  ResetNetOrigin();
  settings_saved_ = false;
  BuildTree();
  return true;
}

void TfrmNewSet::ResetNetOrigin() {
  net_origin_.resize(static_cast<size_t>(state_.nets.Count()));
  std::iota(net_origin_.begin(), net_origin_.end(), 0);
}

int TfrmNewSet::NetIndexAfterEdit(int index_at_show) const {
  if (index_at_show < 0) return -1;
  const auto it = std::find(net_origin_.begin(), net_origin_.end(), index_at_show);
  return it == net_origin_.end() ? -1 : static_cast<int>(it - net_origin_.begin());
}

QTreeWidgetItem* TfrmNewSet::AddNode(QTreeWidgetItem* parent, const QString& text, SettingItem item, int image,
                                     int index) {
  auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(SettingTree);
  node->setText(0, text);
  node->setData(0, kItemRole, static_cast<int>(item));
  node->setData(0, kIndexRole, index);
  node->setData(0, kImageRole, image);
  node->setIcon(0, NodeIcon(image));
  return node;
}

const QIcon& TfrmNewSet::NodeIcon(int image) {
  auto found = node_icons_.find(image);
  if (found == node_icons_.end()) found = node_icons_.emplace(image, TreeIcon(style(), image)).first;
  return found->second;
}

QTreeWidgetItem* TfrmNewSet::AddNetNode(int net) {
  const NetDefinition& n = state_.nets.At(net);
  QTreeWidgetItem* node =
      AddNode(NetNamesNode(), FromSjis(n.net_name), SettingItem::Net, DefOf(SettingItem::Net).image, net);
  for (const ItemDef& def : ItemDefs()) {
    if (def.parent != SettingItem::Net) continue;
    AddNode(node, ValueDisplay(def, FromSjis(state_.nets.Field(net, NetFieldOf(def.item)))), def.item, def.image, net);
  }
  return node;
}

QTreeWidgetItem* TfrmNewSet::NetNamesNode() const {
  QTreeWidgetItem* root = SettingTree->topLevelItem(0);
  return root ? root->child(0) : nullptr;
}

void TfrmNewSet::BuildTree() {
  rebuilding_ = true;
  current_ = nullptr;
  SettingTree->clear();
  const AppSettings& s = state_.settings;

  // Headings and settings, each under its node; the nets and the displays below.
  std::map<SettingItem, QTreeWidgetItem*> placed;
  for (const ItemDef& def : ItemDefs()) {
    if (IsNetItem(def.item) || IsDisplayItem(def.item)) continue;
    QString text = Utf(def.label);
    if (const std::string* value = TextField(state_.settings, def.item)) {
      text = ValueDisplay(def, ValueText(def, *value));
    } else if (const int32_t* number = IntegerField(state_.settings, def.item)) {
      text = ListDisplay(def, *number);
    }
    placed[def.item] = AddNode(def.parent ? placed.at(*def.parent) : nullptr, text, def.item, def.image);
  }
  for (int i = 0; i < state_.nets.Count(); ++i) AddNetNode(i);

  const ItemDef& group_def = DefOf(SettingItem::DisplayGroup);
  for (int g = 0; g < kDisplayCount; ++g) {
    const FontGroup& font = s.fonts[static_cast<size_t>(g)];
    QTreeWidgetItem* group = AddNode(placed.at(*group_def.parent), GroupName(g), group_def.item, group_def.image, g);
    for (const ItemDef& def : ItemDefs()) {
      if (def.parent == SettingItem::DisplayGroup) AddNode(group, FontItemDisplay(def, font), def.item, def.image, g);
    }
  }
  SettingTree->expandAll();
  SettingTree->setCurrentItem(nullptr);
  rebuilding_ = false;
}

void TfrmNewSet::HideEditors() {
  for (auto& [item, editor] : editors_) editor.row->hide();
  FooterMacroLegend->hide();
  HeaderMacroLegend->hide();
  PreviewPanel->hide();
  TitleLabel->clear();
}

int TfrmNewSet::NetOfNode(QTreeWidgetItem* node) const {
  if (!node) return -1;
  const SettingItem item = ItemOf(node);
  if (item == SettingItem::Net) return node->data(0, kIndexRole).toInt();
  if (IsNetField(item) && node->parent()) return node->parent()->data(0, kIndexRole).toInt();
  return -1;
}

int TfrmNewSet::GroupOfNode(QTreeWidgetItem* node) const {
  if (!node) return -1;
  const SettingItem item = ItemOf(node);
  if (item == SettingItem::DisplayGroup || IsGroupItem(item)) return node->data(0, kIndexRole).toInt();
  return -1;
}

void TfrmNewSet::SelectNode(QTreeWidgetItem* node) {
  HideEditors();
  current_ = node;
  if (!node) return;
  const SettingItem item = ItemOf(node);
  const ItemDef& def = DefOf(item);
  const int group = GroupOfNode(node);

  if (group >= 0) {
    HelpLabel->setText(GroupHelp(item, group));
  } else if (*def.help != '\0') {
    HelpLabel->setText(Utf(def.help));
  }
  if (group >= 0) RefreshPreview(group);
  if (def.editor == EditorKind::None) return;

  TitleLabel->setText(Utf(def.title));
  LoadEditor(def, node);
  editors_[item].row->show();
  if (def.legend == Legend::Footer) FooterMacroLegend->show();
  if (def.legend == Legend::Header) HeaderMacroLegend->show();
}

void TfrmNewSet::LoadEditor(const ItemDef& def, QTreeWidgetItem* node) {
  Editor& editor = editors_[def.item];
  const int group = GroupOfNode(node);
  const FontGroup* font = group >= 0 ? &working_.fonts[static_cast<size_t>(group)] : nullptr;
  switch (def.editor) {
    case EditorKind::Text:
    case EditorKind::ShortText:
    case EditorKind::Template:
    case EditorKind::Folder:
    case EditorKind::File:
      if (IsNetField(def.item)) {
        const int net = NetOfNode(node);
        editor.edit->setText(state_.nets.Contains(net) ? FromSjis(state_.nets.Field(net, NetFieldOf(def.item)))
                                                       : QString());
      } else {
        editor.edit->setText(ValueText(def, *TextField(working_, def.item)));
      }
      break;
    case EditorKind::Number: editor.edit->setText(QString::number(font->font_size)); break;
    case EditorKind::List: {
      const int32_t value = *IntegerField(working_, def.item);
      editor.combo->setCurrentIndex(value >= 0 && value < editor.combo->count() ? value : -1);
      break;
    }
    case EditorKind::FontList:
      editor.combo->setCurrentIndex(static_cast<int>(font_faces_.indexOf(FromSjis(font->font_name))));
      break;
    case EditorKind::ColorList:
      editor.combo->setCurrentIndex(
          BasicColorIndex(def.item == SettingItem::FontColor ? font->font_color : font->back_color));
      break;
    case EditorKind::None: break;
  }
}

void TfrmNewSet::RefreshPreview(int group) {
  const FontGroup& font = working_.fonts[static_cast<size_t>(group)];
  QPalette palette = QWidget::palette();
  if (const QColor back = ColorFromStoredText(font.back_color); back.isValid()) {
    palette.setColor(QPalette::Window, back);
  }
  if (const QColor fore = ColorFromStoredText(font.font_color); fore.isValid()) {
    palette.setColor(QPalette::WindowText, fore);
  }
  PreviewPanel->setPalette(palette);
  PreviewPanel->setFont(FontOfGroup(font, QWidget::font()));  // as the windows will show it
  PreviewPanel->show();
}

void TfrmNewSet::TreePopup(const QPoint& pos) {
  QTreeWidgetItem* node = SettingTree->itemAt(pos);
  if (node && node != SettingTree->currentItem()) {
    SettingTree->setCurrentItem(node);  // runs the selection step
  } else {
    SelectNode(SettingTree->currentItem());
  }
  if (!current_) return;
  QMenu menu(this);
  if (ItemOf(current_) == SettingItem::NetNames) menu.addAction(NewNetItem);
  if (ItemOf(current_) == SettingItem::Net) menu.addAction(DeleteNetItem);
  if (!menu.isEmpty()) menu.exec(SettingTree->viewport()->mapToGlobal(pos));
}

void TfrmNewSet::TextEdited(SettingItem item, const QString& typed) {
  if (!current_ || ItemOf(current_) != item) return;
  const ItemDef& def = DefOf(item);
  if (IsNetField(item)) {
    const int net = NetOfNode(current_);
    if (!state_.nets.Contains(net)) return;
    const QString text = NetFieldText(typed);
    if (text != typed) {
      QLineEdit* edit = editors_[item].edit;
      const int cursor = edit->cursorPosition();
      edit->setText(text);
      edit->setCursorPosition(cursor);
    }
    state_.nets.SetField(net, NetFieldOf(item), ToSjis(text));
    current_->setText(0, item == SettingItem::Net ? text : ValueDisplay(def, text));
    return;
  }
  *TextField(working_, item) = StoredValue(def, typed);
  current_->setText(0, ValueDisplay(def, typed));
}

void TfrmNewSet::ListActivated(SettingItem item, int entry) {
  if (!current_ || ItemOf(current_) != item || entry < 0) return;
  *IntegerField(working_, item) = entry;
  current_->setText(0, ChosenEntryDisplay(DefOf(item), entry));
}

void TfrmNewSet::FontNameActivated(int entry) {
  const int group = GroupOfNode(current_);
  if (group < 0 || entry < 0 || entry >= font_faces_.size()) return;
  working_.fonts[static_cast<size_t>(group)].font_name = ToSjis(font_faces_[entry]);
  current_->setText(0, FontItemDisplay(SettingItem::FontName, font_faces_[entry]));
  RefreshPreview(group);
}

void TfrmNewSet::FontSizeEdited(const QString& digits) {
  const int group = GroupOfNode(current_);
  if (group < 0 || digits.isEmpty()) return;  // emptying the box changes nothing
  working_.fonts[static_cast<size_t>(group)].font_size = digits.toInt();
  current_->setText(0, FontItemDisplay(SettingItem::FontSize, digits));
  RefreshPreview(group);
}

void TfrmNewSet::ColorActivated(SettingItem item, int entry) {
  const int group = GroupOfNode(current_);
  if (group < 0 || ItemOf(current_) != item || entry < 0 || entry >= kBasicColorCount) return;
  const std::string identifier(BasicColors()[static_cast<size_t>(entry)].identifier);
  FontGroup& font = working_.fonts[static_cast<size_t>(group)];
  (item == SettingItem::FontColor ? font.font_color : font.back_color) = identifier;
  current_->setText(0, FontItemDisplay(item, QString::fromStdString(identifier)));
  RefreshPreview(group);
}

void TfrmNewSet::Browse(SettingItem item) {
  if (!current_ || ItemOf(current_) != item) return;
  const ItemDef& def = DefOf(item);
  QLineEdit* edit = editors_[item].edit;
  QString chosen;
  if (def.editor == EditorKind::Folder) {
    chosen = ActiveFileChooser().ChooseDirectory(this, Utf(def.chooser_title), edit->text());
  } else {
    OpenFilesRequest request;
    request.title = Utf(def.chooser_title);
    if (!edit->text().isEmpty()) {
      request.directory = QFileInfo(edit->text()).absolutePath();
    } else if (item == SettingItem::Editor) {
      request.directory = EditorChooserFolder();
    }
    request.name_filters = NameFiltersFromFilterText(Sjis(def.chooser_filter));
    const QStringList files = ActiveFileChooser().OpenFiles(this, request);
    if (!files.isEmpty()) chosen = files.front();
  }
  if (chosen.isEmpty()) return;
  edit->setText(chosen);
  TextEdited(item, chosen);
}

void TfrmNewSet::NewNetItemClick() {
  static const std::string new_net = Sjis("新規ネット");
  if (!NetNamesNode()) return;
  state_.nets.Append(NetDefinition{"", new_net, "", ""});
  net_origin_.push_back(-1);
  QTreeWidgetItem* node = AddNetNode(state_.nets.Count() - 1);
  node->setExpanded(true);
  NetNamesNode()->setExpanded(true);
  SettingTree->setCurrentItem(node);
  if (current_ != node) SelectNode(node);
  SettingTree->scrollToItem(node);
  editors_[SettingItem::Net].edit->setFocus();
}

void TfrmNewSet::DeleteNetItemClick() {
  QTreeWidgetItem* node = SettingTree->currentItem();
  if (!node || ItemOf(node) != SettingItem::Net) return;
  const int index = node->data(0, kIndexRole).toInt();
  rebuilding_ = true;
  current_ = nullptr;
  delete node;
  rebuilding_ = false;
  state_.nets.Delete(index);
  if (static_cast<size_t>(index) < net_origin_.size()) net_origin_.erase(net_origin_.begin() + index);

  // DefaultNet keeps naming the net it named; the deleted net leaves no net chosen.
  int32_t& default_net = state_.settings.default_net;
  if (default_net == index) {
    default_net = -1;
  } else if (default_net > index) {
    --default_net;
  }

  QTreeWidgetItem* names = NetNamesNode();
  for (int i = 0; i < names->childCount(); ++i) names->child(i)->setData(0, kIndexRole, i);
  SelectNode(SettingTree->currentItem());
}

void TfrmNewSet::OkButtonClick() {
  const AppSettings previous = state_.settings;
  CopyPreferences(working_, state_.settings);
  try {
    SaveSettings(state_.settings, *ports_.store);
  } catch (const IoError& e) {
    state_.settings = previous;  // nothing was confirmed: memory keeps what the store holds
    ReportError(*ports_.prompter, e);
    return;
  }
  try {
    SaveNetDefinitions(state_.nets, state_.work_dir);
  } catch (const IoError& e) {
    settings_saved_ = true;
    emit displaySettingsChanged();  // the settings are in force and saved
    ReportError(*ports_.prompter, e);
    return;
  }
  nets_on_file_ = state_.nets;
  default_net_on_file_ = state_.settings.default_net;
  emit displaySettingsChanged();
  accept();
}

void TfrmNewSet::done(int result) {
  if (result != QDialog::Accepted) {
    // The net edits are dropped: the program goes on with the nets of NET.TDT.
    state_.nets = nets_on_file_;
    ResetNetOrigin();
    if (state_.settings.default_net != default_net_on_file_) {
      state_.settings.default_net = default_net_on_file_;
      // An OK that saved the settings but not NET.TDT stored DefaultNet for the
      // edited list: store it again for the nets that stay.
      if (settings_saved_) {
        try {
          SaveSettings(state_.settings, *ports_.store);
        } catch (const IoError& e) {
          ReportError(*ports_.prompter, e);
        }
      }
    }
  }
  QDialog::done(result);
}

void TfrmNewSet::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

}  // namespace tobrisk::gui
