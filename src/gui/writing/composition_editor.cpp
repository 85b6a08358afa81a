#include "gui/writing/composition_editor.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <algorithm>

#include "core/text/files.h"
#include "core/text/sjis.h"
#include "gui/widgets/error_report.h"
#include "gui/widgets/gui_prompter.h"
#include "gui/widgets/window_placement.h"
#include "core/writing/composition_file.h"

namespace tobrisk::gui {
namespace {

// A Japanese face whose full-width characters are exactly two half-width ones
// wide, so that byte columns line up on screen.
QFont FixedPitchJapaneseFont(int point_size) {
  const QStringList installed = QFontDatabase::families(QFontDatabase::Japanese);
  QString family;
  for (const char* preferred : {"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "IPAゴシック", "Noto Sans Mono CJK JP",
                                "VL Gothic", "TakaoGothic", "IPAexGothic"}) {
    if (installed.contains(QString::fromUtf8(preferred))) {
      family = QString::fromUtf8(preferred);
      break;
    }
  }
  if (family.isEmpty()) {
    for (const QString& f : installed) {
      if (!f.startsWith('@') && QFontDatabase::isFixedPitch(f)) {
        family = f;
        break;
      }
    }
  }
  QFont font = family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont(family);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  if (point_size >= 1) font.setPointSize(point_size);
  return font;
}

// The Shift-JIS bytes of a text; characters without a form count as one ("?").
int SjisBytes(const QString& text) { return static_cast<int>(ToSjis(text).size()); }

bool HasSjisForm(const QString& character) { return Utf8ToSjisStrict(character.toStdString()).ok; }

// The text edit with the guide at the host's line width.
class CompositionTextEdit final : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPlainTextEdit::paintEvent(event);
    const qreal half_width = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'));
    const qreal x = contentOffset().x() + document()->documentMargin() + half_width * TfrmCompositionEditor::kLineBytes;
    QPainter painter(viewport());
    painter.setPen(QPen(QColor(0xd0, 0x60, 0x60), 1, Qt::DashLine));
    painter.drawLine(QPointF(x, 0), QPointF(x, viewport()->height()));
  }
};

}  // namespace

TfrmCompositionEditor::TfrmCompositionEditor(const std::string& path, const AppSettings& settings, const Ports& ports,
                                             QWidget* parent)
    : QMainWindow(parent, Qt::Window), path_(path), ports_(ports) {
  setObjectName("TfrmCompositionEditor");
  setWindowTitle(QStringLiteral("メッセージ編集 - ") +
                 QFile::decodeName(QByteArray::fromStdString(std::string(FileNameOf(path)))));

  EditorText = new CompositionTextEdit(this);
  EditorText->setObjectName("EditorText");
  EditorText->setLineWrapMode(QPlainTextEdit::NoWrap);
  EditorText->setFont(FixedPitchJapaneseFont(settings.Font(Display::MessageView).font_size));
  EditorText->setTabChangesFocus(false);
  setCentralWidget(EditorText);

  QMenu* file_menu = menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
  SaveItem = file_menu->addAction(QStringLiteral("保存して終了(&S)"));
  SaveItem->setObjectName("SaveItem");
  SaveItem->setShortcut(QKeySequence::Save);
  connect(SaveItem, &QAction::triggered, this, [this] { SaveAndFinish(); });
  CloseItem = file_menu->addAction(QStringLiteral("閉じる(&C)"));
  CloseItem->setObjectName("CloseItem");
  CloseItem->setShortcut(QKeySequence(Qt::Key_Escape));
  connect(CloseItem, &QAction::triggered, this, &QWidget::close);

  CursorPositionLabel = new QLabel(this);
  CursorPositionLabel->setObjectName("CursorPositionLabel");
  statusBar()->addWidget(CursorPositionLabel);
  statusBar()->addPermanentWidget(
      new QLabel(QStringLiteral("1行 %1 バイトまで　Ctrl+S: 保存して終了　Esc: 閉じる").arg(kLineBytes), this));

  connect(EditorText, &QPlainTextEdit::cursorPositionChanged, this, &TfrmCompositionEditor::ShowCursorPosition);
  connect(EditorText, &QPlainTextEdit::textChanged, this, &TfrmCompositionEditor::MarkUnwritable);
  resize(640, 480);
}

TfrmCompositionEditor::~TfrmCompositionEditor() = default;

void TfrmCompositionEditor::Load() {
  std::string bytes = ReadWholeFile(path_);
  // A file an external editor left in UTF-8 shows as the text it is.
  tobrisk::CompositionText decided = DecideCompositionText(bytes);
  if (decided.Usable()) bytes = std::move(decided.sjis);
  // CR LF, CR or LF end a line.
  std::string lines;
  lines.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      lines += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      lines += bytes[i];
    }
  }
  EditorText->setPlainText(FromSjis(lines));
  EditorText->document()->setModified(false);
  EditorText->moveCursor(QTextCursor::Start);
  ShowCursorPosition();
  RestoreWindowPlacement(this, *ports_.store, CompositionEditorFormPosition());
}

int TfrmCompositionEditor::CursorLine() const { return EditorText->textCursor().blockNumber() + 1; }

int TfrmCompositionEditor::CursorByteColumn() const {
  const QTextCursor cursor = EditorText->textCursor();
  return SjisBytes(cursor.block().text().left(cursor.positionInBlock())) + 1;
}

void TfrmCompositionEditor::ShowCursorPosition() {
  CursorPositionLabel->setText(QStringLiteral("%1 行　%2 桁").arg(CursorLine()).arg(CursorByteColumn()));
}

void TfrmCompositionEditor::MarkUnwritable() {
  QList<QTextEdit::ExtraSelection> marks;
  QTextCharFormat format;
  format.setBackground(QColor(0xff, 0xb0, 0xb0));
  format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
  format.setUnderlineColor(Qt::red);
  format.setToolTip(QStringLiteral("Shift-JIS にない文字です"));
  for (QTextBlock block = EditorText->document()->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    for (qsizetype i = 0; i < text.size();) {
      const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
      if (text[i].unicode() >= 0x80 && !HasSjisForm(text.mid(i, length))) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(block);
        mark.cursor.setPosition(block.position() + static_cast<int>(i));
        mark.cursor.setPosition(block.position() + static_cast<int>(i + length), QTextCursor::KeepAnchor);
        mark.format = format;
        marks << mark;
      }
      i += length;
    }
  }
  marked_ = static_cast<int>(marks.size());
  EditorText->setExtraSelections(marks);
}

bool TfrmCompositionEditor::SaveAndFinish() {
  if (!Save()) return false;
  close();
  return true;
}

bool TfrmCompositionEditor::Save() {
  QString text = EditorText->toPlainText();
  if (!text.isEmpty() && !text.endsWith('\n')) text += '\n';
  const std::string utf8 = text.toStdString();
  StrictSjis converted = Utf8ToSjisStrict(utf8);
  if (!converted.ok) {
    const auto bad = utf8.begin() + static_cast<std::ptrdiff_t>(converted.bad_offset);
    const int line = 1 + static_cast<int>(std::count(utf8.begin(), bad, '\n'));
    const QString code = QString::number(static_cast<uint>(converted.bad_char), 16).toUpper().rightJustified(4, '0');
    // The character itself has no Shift-JIS form for the message: its code names it.
    const QString message = QStringLiteral(
                                "%1 行目の文字 U+%2 は Shift-JIS にないため、保存できません。\n\r"
                                "印の付いた文字を別の文字に書き換えて下さい。")
                                .arg(line)
                                .arg(code);
    ports_.prompter->Error(ToSjis(message));
    // The cursor goes to the character.
    QTextCursor cursor = EditorText->textCursor();
    cursor.setPosition(static_cast<int>(QString::fromStdString(std::string(utf8.begin(), bad)).size()));
    EditorText->setTextCursor(cursor);
    return false;
  }
  std::string crlf;
  crlf.reserve(converted.sjis.size() + 64);
  for (const char c : converted.sjis) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  try {
    WriteFileAtomically(path_, [&](OutputFile& out) { out.Write(crlf); });
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
    return false;
  }
  EditorText->document()->setModified(false);
  return true;
}

void TfrmCompositionEditor::closeEvent(QCloseEvent* event) {
  if (!finished_ && EditorText->document()->isModified()) {
    static const std::string question = Sjis("編集した内容を保存しますか？");
    switch (ports_.prompter->Confirm(question)) {
      case Answer::Yes:
        if (!Save()) {
          event->ignore();
          return;
        }
        break;
      case Answer::No: break;
      case Answer::Cancel: event->ignore(); return;
    }
  }
  if (!finished_) {
    finished_ = true;
    SavePlacement();
    emit Finished();
  }
  event->accept();
}

void TfrmCompositionEditor::SavePlacement() {
  try {
    SaveWindowPlacement(this, *ports_.store, CompositionEditorFormPosition());
  } catch (const std::exception& e) {
    ReportError(*ports_.prompter, e);
  }
}

}  // namespace tobrisk::gui
