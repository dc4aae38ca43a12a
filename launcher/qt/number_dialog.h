#pragma once
// The number dialog of the Linux launcher: number box, slider, label, OK and
// Cancel, laid out like the Windows dialog template.
#include <QDialog>

#include "launcher/commands.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace tavelund {

class NumberDialog : public QDialog {
  Q_OBJECT
 public:
  NumberDialog(const NumberField& field, LauncherSettings& settings, QWidget* parent = nullptr);

  QLineEdit* numberBox() const { return numberBox_; }
  QSlider* slider() const { return slider_; }
  QLabel* label() const { return label_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

  void accept() override;

 private:
  void showSliderPosition(int position);

  const NumberField& field_;
  LauncherSettings& settings_;
  QLineEdit* numberBox_;
  QSlider* slider_;
  QLabel* label_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace tavelund
