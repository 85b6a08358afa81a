#include "gui/shell/TfrmAbout.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tobrisk::gui {
namespace {

// The picture: the program's name on a night-blue gradient, drawn to the size
// of the dialog.
class AboutPicture final : public QWidget {
 public:
  explicit AboutPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("Image1");
    setMinimumSize(320, 180);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(rect().topLeft(), rect().bottomLeft());
    sky.setColorAt(0.0, QColor(0x10, 0x20, 0x60));
    sky.setColorAt(1.0, QColor(0x40, 0x80, 0xC0));
    p.fillRect(rect(), sky);

    p.setPen(QColor(255, 255, 255, 60));
    for (int i = 0; i < 6; ++i) {
      const int y = height() - 20 - i * 12;
      p.drawLine(0, y, width(), y - 30);
    }

    QFont title = font();
    title.setPointSize(22);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    const QRect upper(0, 0, width(), height() * 3 / 5);
    p.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("Tobrisk"));

    QFont sub = font();
    sub.setPointSize(10);
    p.setFont(sub);
    const QRect lower(0, height() * 3 / 5 + 6, width(), height() * 2 / 5 - 6);
    p.drawText(lower, Qt::AlignHCenter | Qt::AlignTop,
               QString::fromUtf8("ＮORU's OffLine Tool\nfor Windows95  Version 1.1"));
  }
};

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("TfrmAbout");
  setWindowTitle(QStringLiteral("Tobrisk Version 1.1"));
  setModal(true);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 8);
  layout->addWidget(new AboutPicture(this), 1);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
}

}  // namespace tobrisk::gui
