// The message boxes of the program: the confirmation box's default button is the
// answer the caller names, so Enter gives the safe choice where it matters.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <new>
#include <optional>

#include "core/text/sjis.h"
#include "fakes.h"
#include "gui/widgets/error_report.h"
#include "gui/widgets/gui_prompter.h"
#include "helpers/gui_text.h"

using namespace tobrisk;
using tobrisk::testing::U;

class TestPrompter : public QObject {
  Q_OBJECT

 private:
  // Asks, and while the box is up records its default button and presses Enter.
  Answer AskAndPressEnter(std::optional<Answer> default_answer, QString& default_text) {
    QTimer::singleShot(0, this, [&] {
      QMessageBox* box = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "ConfirmBox" && w->isVisible()) box = qobject_cast<QMessageBox*>(w);
      }
      QVERIFY(box != nullptr);
      default_text = box->defaultButton() != nullptr ? box->defaultButton()->text() : QString();
      QTest::keyClick(box, Qt::Key_Return);
    });
    gui::GuiPrompter prompter;
    const std::string text =
        Sjis("同名のアップファイルが存在します。削除しますか？\r\n削除を行わない場合は追加されます。");
    return default_answer ? prompter.Confirm(text, *default_answer) : prompter.Confirm(text);
  }

 private slots:
  void enterGivesTheDefaultAnswer() {
    QString default_text;
    QCOMPARE(AskAndPressEnter(Answer::No, default_text), Answer::No);
    QCOMPARE(default_text, U("いいえ(&N)"));
    QCOMPARE(AskAndPressEnter(std::nullopt, default_text), Answer::Yes);
    QCOMPARE(default_text, U("はい(&Y)"));
  }

  // An open or export that ran out of memory says so, not "std::bad_alloc".
  void runningOutOfMemoryIsReportedInWords() {
    tobrisk::testing::FakePrompter prompter;
    gui::ReportError(prompter, std::bad_alloc());
    QCOMPARE(prompter.boxes.size(), size_t{1});
    QCOMPARE(prompter.boxes[0].text, Sjis("メモリが足りません。"));
  }
};

QTEST_MAIN(TestPrompter)
#include "test_prompter.moc"
