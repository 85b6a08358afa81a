#include "shell/TfrmMain.h"

#include <QLabel>
#include <QMdiArea>
#include <QProgressBar>
#include <QStatusBar>

#include "text/files.h"
#include "text/io_error.h"

namespace tobrisk::gui {

TfrmMain::TfrmMain(Ports ports, QWidget* parent) : QMainWindow(parent), ports_(ports) {
  setObjectName("TfrmMain");
  setWindowTitle(QString::fromUtf8("DuzoDevova ＮORU's OffLine Tool [ Tobrisk for Windows95 ] Version.1.1"));
  mdi_ = new QMdiArea(this);
  setCentralWidget(mdi_);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setVisible(false);
  ProgressLabel = new QLabel(this);
  ProgressLabel->setObjectName("ProgressLabel");
  statusBar()->addWidget(ProgressLabel, 1);
  statusBar()->addPermanentWidget(ProgressBar1);

  try {
    StartUp(state_, ports_, CurrentDirectory());
  } catch (const IoError& e) {
    ports_.prompter->Error(e.what());
  }
  resize(800, 600);
}

TfrmMain::~TfrmMain() { ShutDown(state_); }

}  // namespace tobrisk::gui
