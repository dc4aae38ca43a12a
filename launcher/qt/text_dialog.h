#pragma once
// The text dialog of the Linux launcher, for the box size and the box grid:
// text box, OK and Cancel where the number dialog has them, and below them a
// label that says what the box takes.
#include <QDialog>

#include "launcher/commands.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavelund {

class TextDialog : public QDialog {
  Q_OBJECT
 public:
  TextDialog(const TextField& field, LauncherSettings& settings, QWidget* parent = nullptr);

  QLineEdit* textBox() const { return textBox_; }
  QLabel* label() const { return label_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

  void accept() override;

 private:
  const TextField& field_;
  LauncherSettings& settings_;
  QLineEdit* textBox_;
  QLabel* label_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace tavelund
