// The properties dialog "プロパティー": every setting and every net as a node of
// a read-only tree whose text shows the current value; selecting a node shows its
// explanation and the one editor of that setting. Settings are edited in a
// working copy that reaches AppSettings only with OK; nets are edited in the net
// list at once, and Cancel puts back the nets of NET.TDT.
//
// Object names (for tests and accessibility): SettingTree, HelpLabel,
// TitleLabel, PreviewPanel, OkButton, CancelButton, the actions NewNetItem and
// DeleteNetItem, the macro legends FooterMacroLegend and HeaderMacroLegend, and
// one editor per item named after it: NetNameEdit, LogHeaderEdit,
// HandleNameEdit, UpFileHeaderEdit, LogDirEdit/LogDirButton, UpDirEdit/UpDirButton,
// EditorEdit/EditorButton, QuotationMarksEdit, MessageFooterEdit,
// ResMessageHeaderEdit, MvResMessageHeaderEdit, the lists GetIBbsListCombo,
// MessageFooterPosCombo, ResMessageHeaderPosCombo, MvResMessageHeaderPosCombo,
// CutSpaceCombo, CutTabCombo, CutRetCombo, OpenPageCombo, and the display
// group editors FontNameCombo, FontSizeEdit, FontColorCombo, BackColorCombo.
#pragma once

#include <QDialog>
#include <QIcon>
#include <array>
#include <map>
#include <vector>

#include "ingest/work_state.h"
#include "ports/ports.h"
#include "settings/setting_items.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tobrisk::gui {

class TfrmNewSet : public QDialog {
  Q_OBJECT

 public:
  // Tree data roles: the node's SettingItem, its net or display group number,
  // and its image number in the dialog's image list.
  static constexpr int kItemRole = Qt::UserRole + 1;
  static constexpr int kIndexRole = Qt::UserRole + 2;
  static constexpr int kImageRole = Qt::UserRole + 3;

  // `state` and the ports must outlive the dialog. The font face list is built here.
  TfrmNewSet(WorkState& state, const Ports& ports, QWidget* parent = nullptr);

  // Prepares the dialog from AppSettings and NET.TDT and shows it modally.
  // True when it was closed with OK (everything saved). False after Cancel, and
  // without showing when NET.TDT exists but cannot be read.
  bool ShowModal();

  // The preparation ShowModal does before showing: editors hidden, working copy
  // from AppSettings, nets reloaded from NET.TDT, tree rebuilt. False when
  // NET.TDT could not be read (reported; the net list is left as it was).
  bool PrepareShow();

  // The index now of the net that had `index_at_show` when the dialog was last
  // shown: followed through additions and deletions confirmed with OK, -1 for a
  // deleted net. After Cancel every net is where it was.
  int NetIndexAfterEdit(int index_at_show) const;

  // The working copy of the settings (Path0..9 and DefaultNet are not edited here).
  const AppSettings& WorkingCopy() const { return working_; }
  // The font faces offered by the font list.
  const QStringList& FontFaces() const { return font_faces_; }

 public slots:
  // OK: working copy into AppSettings, SaveSettings, then NET.TDT, then
  // displaySettingsChanged and close. A write failure is reported and the
  // dialog stays open; a failed settings save leaves AppSettings as it was.
  void OkButtonClick();
  // "新規ネット追加(&N)" and "ネットを削除(&D)" of the tree's pop-up menu.
  void NewNetItemClick();
  void DeleteNetItemClick();

 signals:
  // Emitted once the settings of OK are in AppSettings and saved: the five
  // display groups are to be applied to their windows now.
  void displaySettingsChanged();

 protected:
  void done(int result) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct Editor {
    QWidget* row = nullptr;  // the editor with its button or legend
    QLineEdit* edit = nullptr;
    QComboBox* combo = nullptr;
  };

  void BuildWidgets();
  void BuildEditors(QWidget* area);
  QWidget* BuildLegend(const char* object_name, const std::vector<std::pair<const char*, const char*>>& pairs);
  void BuildFontList();
  void BuildTree();
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text, SettingItem item, int image, int index = -1);
  // One icon per image number, shared by every node that shows it: a thousand
  // nets are four thousand nodes, and an icon of their own each costs megabytes.
  const QIcon& NodeIcon(int image);
  std::map<int, QIcon> node_icons_;
  QTreeWidgetItem* AddNetNode(int net);

  // The selection step: hide everything, then show the node's help, title,
  // editor (loaded with the current value) and preview.
  void SelectNode(QTreeWidgetItem* node);
  void HideEditors();
  void LoadEditor(const ItemDef& def, QTreeWidgetItem* node);
  void TreePopup(const QPoint& pos);

  // Editing.
  void TextEdited(SettingItem item, const QString& text);
  void ListActivated(SettingItem item, int entry);
  void FontNameActivated(int entry);
  void FontSizeEdited(const QString& digits);
  void ColorActivated(SettingItem item, int entry);
  // A "参照" button: the chosen folder or file replaces the text, as an edit.
  void Browse(SettingItem item);

  // Every net where it is: nothing added or deleted since.
  void ResetNetOrigin();
  int NetOfNode(QTreeWidgetItem* node) const;
  int GroupOfNode(QTreeWidgetItem* node) const;
  QTreeWidgetItem* NetNamesNode() const;
  void RefreshPreview(int group);

  WorkState& state_;
  Ports ports_;
  AppSettings working_;
  QStringList font_faces_;

  // The nets and DefaultNet as NET.TDT and the settings hold them: Cancel puts
  // them back, so nothing cancelled stays in force. While the dialog is open
  // DefaultNet follows the net it names through deletions.
  NetList nets_on_file_;
  int default_net_on_file_ = -1;
  // For each net of the edited list, its index at showing (-1: added).
  std::vector<int> net_origin_;
  // OK saved the settings but could not write NET.TDT.
  bool settings_saved_ = false;

  QTreeWidget* SettingTree = nullptr;
  QLabel* HelpLabel = nullptr;
  QLabel* TitleLabel = nullptr;
  QLabel* PreviewPanel = nullptr;
  QWidget* FooterMacroLegend = nullptr;
  QWidget* HeaderMacroLegend = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QAction* NewNetItem = nullptr;
  QAction* DeleteNetItem = nullptr;
  std::map<SettingItem, Editor> editors_;
  QTreeWidgetItem* current_ = nullptr;
  bool rebuilding_ = false;  // tree changes in progress: no selection steps
};

}  // namespace tobrisk::gui
