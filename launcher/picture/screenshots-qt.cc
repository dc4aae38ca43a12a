// Draws the README's pictures of the Linux launcher on Qt's offscreen
// platform: the window with its Run Maker menu open, the number dialog and
// the box grid dialog.
//   vantrell_screenshots FOLDER
// writes launcher-linux.png, dialog-linux.png and grid-dialog-linux.png
// there. Run from an empty folder: the window reads DefaultSetting.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>

#include <iostream>

#include "launcher/qt/launcher_window.h"
#include "launcher/qt/number_dialog.h"
#include "launcher/qt/text_dialog.h"

namespace {

bool save(const QPixmap& picture, const QString& folder, const char* name) {
  const QString path = folder + "/" + name;
  if (picture.save(path, "PNG")) return true;
  std::cerr << "vantrell_screenshots: cannot write " << path.toStdString() << std::endl;
  return false;
}

QAction* actionFor(QMenu* menu, int command) {
  for (QAction* action : menu->actions()) {
    if (action->data().toInt() == command) return action;
  }
  return nullptr;
}

// The window with the Run Maker menu dropped down under its title and the
// box grid entry highlighted, as a user sees it before choosing it.
QPixmap windowWithMenu(tavelund::LauncherWindow& window) {
  window.show();
  QApplication::processEvents();
  QAction* runMaker = window.menuBar()->actions().at(1);
  QMenu* menu = runMaker->menu();
  window.menuBar()->setActiveAction(runMaker);  // drops the menu down
  menu->setActiveAction(actionFor(menu, tavelund::kCommandBoxGrid));
  QApplication::processEvents();
  QPixmap picture = window.grab();
  QPainter painter(&picture);
  painter.drawPixmap(window.mapFromGlobal(menu->pos()), menu->grab());
  painter.end();
  menu->hide();
  return picture;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::cerr << "usage: vantrell_screenshots FOLDER" << std::endl;
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  tavelund::LauncherSettings settings;
  tavelund::LauncherWindow window(settings);
  bool ok = save(windowWithMenu(window), folder, "launcher-linux.png");

  tavelund::NumberDialog number(*tavelund::numberFieldFor(tavelund::kCommandShowLines), settings);
  number.show();
  QApplication::processEvents();
  ok = save(number.grab(), folder, "dialog-linux.png") && ok;

  settings.GridScale = "0.25%";
  tavelund::TextDialog grid(*tavelund::textFieldFor(tavelund::kCommandBoxGrid), settings);
  grid.show();
  QApplication::processEvents();
  ok = save(grid.grab(), folder, "grid-dialog-linux.png") && ok;
  return ok ? 0 : 1;
}
