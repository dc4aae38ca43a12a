#include "launcher/qt/number_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace tavelund {
namespace {

// The Windows template is 230 x 30 dialog units; two pixels per unit keeps
// the same arrangement at a readable size.
QRect dialogUnits(int x, int y, int width, int height) {
  return {x * 2, y * 2, width * 2, height * 2};
}

}  // namespace

NumberDialog::NumberDialog(const NumberField& field, LauncherSettings& settings, QWidget* parent)
    : QDialog(parent), field_(field), settings_(settings) {
  setWindowTitle(QStringLiteral("Input Number"));
  setModal(true);
  setFixedSize(460, 64);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setGeometry(dialogUnits(123, 1, 50, 12));
  ok_->setDefault(true);
  cancel_ = new QPushButton(QString::fromUtf8("キャンセル"), this);
  cancel_->setGeometry(dialogUnits(175, 1, 50, 12));
  label_ = new QLabel(QString::fromUtf8(field.label), this);
  label_->setGeometry(dialogUnits(125, 16, 100, 12));
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setGeometry(dialogUnits(3, 16, 117, 12));
  slider_->setTickPosition(QSlider::NoTicks);
  numberBox_ = new QLineEdit(this);
  numberBox_->setGeometry(dialogUnits(4, 1, 118, 12));

  setTabOrder(ok_, cancel_);
  setTabOrder(cancel_, slider_);
  setTabOrder(slider_, numberBox_);

  const NumberDialogStart start = openNumberDialog(field, settings);
  slider_->setRange(static_cast<int>(field.minimum), static_cast<int>(field.maximum));
  slider_->setValue(static_cast<int>(start.sliderPosition));
  numberBox_->setText(QString::number(start.number));
  // Every user action on the slider (key, click, drag, release) puts its
  // position into the number box, also when the position stays the same:
  // End on a slider at its maximum still shows the maximum, over whatever
  // was typed. Setting the position from code does not. Typing into the
  // number box leaves the slider alone.
  connect(slider_, &QSlider::actionTriggered, this,
          [this] { showSliderPosition(slider_->sliderPosition()); });
  connect(slider_, &QSlider::sliderReleased, this,
          [this] { showSliderPosition(slider_->sliderPosition()); });
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  ok_->setFocus();
}

void NumberDialog::showSliderPosition(int position) {
  numberBox_->setText(QString::fromStdString(sliderToNumberBox(position)));
}

void NumberDialog::accept() {
  acceptNumberDialog(field_, numberBox_->text().toStdString(), settings_);
  QDialog::accept();
}

}  // namespace tavelund
