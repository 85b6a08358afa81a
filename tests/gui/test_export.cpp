// Exporting from the window: ファイル → "エクスポート..." and "テキストで保存..."
// of the message pop-up menu.
#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <filesystem>

#include "capture_generator.h"

#include "gui/export/TfrmExport.h"
#include "helpers/gui_fixture.h"
#include "gui/reading/TfrmLogMessage.h"

using namespace tobrisk;
using namespace tobrisk::testing;

class TestExport : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainFrameFixture> f_;

 private slots:
  void init() { f_ = std::make_unique<MainFrameFixture>(); }
  void cleanup() {
    f_.reset();
    CloseAllWindows();
  }

  void exportDialogWritesTheChosenFormatAndPopupSavesTheMessageAsText() {
    f_->Folder().WriteNets({"NORU\tNORUネット\tたろう\tUP"});
    f_->Folder().Write("NORU1207.LOG", FrameCapture());
    QFile log(QString::fromStdString(f_->Folder().Path("NORU1207.LOG")));
    QVERIFY(log.open(QIODevice::ReadWrite));  // captured in December 2026: the dates' year
    QVERIFY(log.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(21, 0)), QFileDevice::FileModificationTime));
    log.close();
    f_->Start();
    f_->Frame().OpenLogFiles({QString::fromStdString(f_->Folder().Path("NORU1207.LOG"))});
    QCOMPARE(f_->State().messages.Size(), size_t{5});
    const QString site = QString::fromStdString(f_->Folder().Path("site"));
    bool shown = false;
    WhenModalShown([&](QWidget* dialog) {
      shown = dialog->objectName() == "TfrmExport";
      dialog->findChild<QRadioButton*>("HtmlRadioButton")->click();
      dialog->findChild<QLineEdit*>("OutEdit")->setText(site);
      dialog->findChild<QPushButton*>("ExportButton")->click();
    });
    f_->Trigger("ExportItem");
    QVERIFY(shown);
    const std::string index = f_->Folder().Read("site/index.html");
    QVERIFY(index.find("NORUネット") != std::string::npos);
    QVERIFY(index.find("<a href=\"b1.html\">BBS1:雑談ボード</a></td><td class=\"n\">2</td>") != std::string::npos);
    QVERIFY(f_->Folder().Read("site/b1-t1.html").find("はじめまして") != std::string::npos);
    QVERIFY(f_->BoxTexts().isEmpty());

    // The list pop-up saves the selected message (the first row, a mail) as text.
    f_->Chooser().save_answers.push_back(QString::fromStdString(f_->Folder().Path("one.txt")));
    f_->Frame().LogMessage()->findChild<QAction*>("SaveTextItem")->trigger();
    const QString one = QString::fromStdString(f_->Folder().Read("one.txt"));
    QVERIFY2(one.startsWith(QString::fromUtf8("■ MAIL 【はなこ】 2026/12/05 オフ会について\nこんにちは。\n")),
             qPrintable(one));
    QCOMPARE(one.count(QString::fromUtf8("■")), 1);
    // Saving again over it asks first; No keeps the file.
    f_->Prompter().answers.push_back(Answer::No);
    f_->Chooser().save_answers.push_back(QString::fromStdString(f_->Folder().Path("one.txt")));
    f_->Frame().LogMessage()->findChild<QAction*>("SaveTextItem")->trigger();
    QVERIFY(f_->Prompter().boxes.back().kind == "confirm");
    QVERIFY(f_->Folder().Read("one.txt").find("オフ会について") != std::string::npos);
  }

  void cancelledExportLeavesNothingBehind() {
    f_->Folder().WriteNets({"NORU\tNORUネット\tたろう\tUP"});
    CaptureOptions o = BenchCaptureOptions(4);
    f_->Folder().Write("NORU0101.LOG", GenerateCapture(o));
    f_->Start();
    f_->Frame().OpenLogFiles({QString::fromStdString(f_->Folder().Path("NORU0101.LOG"))});
    QVERIFY(f_->State().messages.Size() > 10000);
    const std::vector<std::string> before = Names();
    bool still_open = false;
    WhenModalShown([&](QWidget* dialog) {
      dialog->findChild<QRadioButton*>("HtmlRadioButton")->click();
      dialog->findChild<QLineEdit*>("OutEdit")->setText(QString::fromStdString(f_->Folder().Path("site")));
      // Cancel as soon as the export shows progress: a timer could fire only after a fast export ended.
      QObject::connect(dialog->findChild<QProgressBar*>("ExportProgressBar"), &QProgressBar::valueChanged, dialog,
                       [dialog] { dialog->findChild<QPushButton*>("CancelButton")->click(); });
      dialog->findChild<QPushButton*>("ExportButton")->click();
      still_open = dialog->isVisible() && dialog->findChild<QPushButton*>("ExportButton")->isEnabled();
      dialog->close();
    });
    f_->Trigger("ExportItem");
    QVERIFY(still_open);
    QCOMPARE(Names(), before);
  }

 private:
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(f_->Folder().Dir())) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
