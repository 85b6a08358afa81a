// The version dialog: a picture filling the dialog and one "OK" button.
#pragma once

#include <QDialog>

namespace tobrisk::gui {

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
};

}  // namespace tobrisk::gui
