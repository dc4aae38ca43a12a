#include "launcher/qt/text_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tavelund {
namespace {

// The same two pixels per dialog unit as the number dialog.
QRect dialogUnits(int x, int y, int width, int height) {
  return {x * 2, y * 2, width * 2, height * 2};
}

}  // namespace

TextDialog::TextDialog(const TextField& field, LauncherSettings& settings, QWidget* parent)
    : QDialog(parent), field_(field), settings_(settings) {
  setWindowTitle(QStringLiteral("Input Text"));
  setModal(true);
  setFixedSize(460, 64);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setGeometry(dialogUnits(123, 1, 50, 12));
  ok_->setDefault(true);
  cancel_ = new QPushButton(QString::fromUtf8("キャンセル"), this);
  cancel_->setGeometry(dialogUnits(175, 1, 50, 12));
  label_ = new QLabel(QString::fromUtf8(field.label), this);
  label_->setGeometry(dialogUnits(4, 16, 222, 12));
  textBox_ = new QLineEdit(this);
  textBox_->setGeometry(dialogUnits(4, 1, 118, 12));
  textBox_->setMaxLength(kTextBoxLimit);

  setTabOrder(ok_, cancel_);
  setTabOrder(cancel_, textBox_);

  textBox_->setText(QString::fromStdString(settings.*field.field));
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  ok_->setFocus();
}

void TextDialog::accept() {
  acceptTextDialog(field_, textBox_->text().toStdString(), settings_);
  QDialog::accept();
}

}  // namespace tavelund
