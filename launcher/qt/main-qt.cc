// Vantrell on Linux: the launcher window with Qt Widgets.
#include <QApplication>

#include <iostream>

#include "launcher/qt/launcher_window.h"
#include "launcher/qt/single_instance.h"
#include "launcher/settings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tavelund::SingleInstance instance(QString::fromUtf8(tavelund::kLauncherTitle));
  if (!instance.claim()) return 0;
  if (!instance.problem().isEmpty()) {
    std::cerr << "Vantrell: " << instance.problem().toStdString()
              << "; a second start will not find this launcher" << std::endl;
  }

  tavelund::LauncherWindow window(tavelund::launcherSettings());
  QObject::connect(&instance, &tavelund::SingleInstance::raiseRequested, &window, [&window] {
    window.showNormal();
    window.raise();
    window.activateWindow();
  });
  // Open message boxes must not keep the program alive after Close.
  QObject::connect(&window, &tavelund::LauncherWindow::closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  window.move(10, 10);
  window.show();
  return app.exec();
}
