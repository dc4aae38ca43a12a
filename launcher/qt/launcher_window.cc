#include "launcher/qt/launcher_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>

#include <cstddef>
#include <iostream>

#include "launcher/qt/number_dialog.h"
#include "launcher/qt/text_dialog.h"

namespace tavelund {
namespace {

const unsigned char kPicturePng[] = {
#include "picture_png.inc"
};

const unsigned char kIconPng[] = {
#include "icon_png.inc"
};

constexpr int kPictureSize = 512;

QPixmap pixmapFrom(const unsigned char* png, std::size_t size) {
  QPixmap pixmap;
  pixmap.loadFromData(png, static_cast<uint>(size), "PNG");
  return pixmap;
}

}  // namespace

LauncherWindow::LauncherWindow(LauncherSettings& settings, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      trace_([](const std::string& text) { std::cerr << text << std::flush; }) {
  LoadSettings(settings_);
  setWindowTitle(QString::fromUtf8(kLauncherTitle));

  picture_ = new QLabel(this);
  picture_->setFixedSize(kPictureSize, kPictureSize);
  picture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // A picture that cannot be loaded leaves the area white.
  picture_->setAutoFillBackground(true);
  QPalette white = picture_->palette();
  white.setColor(QPalette::Window, Qt::white);
  picture_->setPalette(white);
  picture_->setPixmap(pixmapFrom(kPicturePng, sizeof kPicturePng));
  setWindowIcon(QIcon(pixmapFrom(kIconPng, sizeof kIconPng)));
  setCentralWidget(picture_);

  auto add = [this](QMenu* menu, const char* text, int command) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("File(&F)"));
  add(file, "Chart(&C)", kCommandChart);
  file->addSeparator();
  add(file, "Close(&X)", kCommandClose);
  QMenu* run = menuBar()->addMenu(QStringLiteral("Run Maker(&R)"));
  add(run, "Box Reverse(-b)", kCommandBoxReverse);
  QMenu* expand = run->addMenu(QStringLiteral("Data Expand(-e)"));
  add(expand, "OFF", kCommandDataExpandOff);
  add(run, "Show Lines(-s)", kCommandShowLines);
  add(run, "Figure Length(-f)", kCommandFigureLength);
  add(run, "ScrollBack Counts(-r)", kCommandScrollBack);
  add(run, "Box Size(-p)", kCommandBoxSize);
  add(run, "Box Grid(-g)", kCommandBoxGrid);
  run->addSeparator();
  add(run, "Options", kCommandOptions);
  run->addSeparator();
  add(run, "Save Settings", kCommandSaveSettings);

  // The window takes exactly the size of menu bar plus picture, fixed.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void LauncherWindow::runCommand(int command) {
  const CommandEffect effect = handleCommand(command, settings_);
  switch (effect.kind) {
    case CommandEffect::Kind::OpenNumberDialog: {
      NumberDialog dialog(*effect.numberField, settings_, this);
      dialog.exec();
      break;
    }
    case CommandEffect::Kind::OpenTextDialog: {
      TextDialog dialog(*effect.textField, settings_, this);
      dialog.exec();
      break;
    }
    case CommandEffect::Kind::ShowMessage:
      for (const std::string& trace : effect.debugTrace) trace_(trace);
      showInformation(effect.messageText, effect.messageCaption);
      break;
    case CommandEffect::Kind::Close:
      close();
      break;
    case CommandEffect::Kind::NotHandled:
    case CommandEffect::Kind::Done:
      break;
  }
}

void LauncherWindow::showInformation(const std::string& text, const std::string& caption) {
  // No owner and not modal, like a message box without owner window on
  // Windows: the launcher stays usable while it is open.
  auto* box = new QMessageBox(QMessageBox::Information, QString::fromStdString(caption),
                              QString::fromStdString(text), QMessageBox::Ok);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

void LauncherWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closed();
}

}  // namespace tavelund
