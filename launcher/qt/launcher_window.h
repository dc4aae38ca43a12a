#pragma once
// The Linux launcher window: the picture in a fixed 512 x 512 client area
// below the menu bar, the same menus as on Windows, and message boxes that
// leave the window usable.
#include <QMainWindow>

#include <functional>
#include <string>

#include "launcher/commands.h"

class QLabel;

namespace tavelund {

inline constexpr const char* kLauncherTitle = "Vantrell Gratwell";

class LauncherWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Loads the settings file into `settings` while the window is made.
  explicit LauncherWindow(LauncherSettings& settings, QWidget* parent = nullptr);

  // Where the Options command's trace goes; standard error unless replaced.
  void setTraceSink(std::function<void(const std::string&)> sink) { trace_ = std::move(sink); }

  QLabel* picture() const { return picture_; }

  // Runs a menu command by its id, as the menu does.
  void runCommand(int command);

 signals:
  // The Close command or the close box: the program should end.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void showInformation(const std::string& text, const std::string& caption);

  LauncherSettings& settings_;
  QLabel* picture_;
  std::function<void(const std::string&)> trace_;
};

}  // namespace tavelund
