// The Linux launcher window and dialog, driven through Qt on the offscreen
// platform; the single-instance rule with two real processes.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <type_traits>

#include "launcher/qt/launcher_window.h"
#include "launcher/qt/number_dialog.h"
#include "launcher/qt/text_dialog.h"
#include "launcher_test_util.h"

namespace tavelund {
namespace {

using testing_support::base64;
using testing_support::InFolder;
using testing_support::readFile;
using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;
using testing_support::writeFile;

// Every window test runs in a scratch folder, the launcher's working folder.
class QtLauncher : public ::testing::Test {
 protected:
  QtLauncher() : inside_(folder_.path()) {}
  ~QtLauncher() override {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<QMessageBox*>(widget)) delete widget;
    }
  }

  std::vector<QAction*> actions(QMenu* menu) {
    std::vector<QAction*> all;
    for (QAction* action : menu->actions()) all.push_back(action);
    return all;
  }

  QAction* actionFor(QWidget* root, int command) {
    for (QAction* action : root->findChildren<QAction*>()) {
      if (action->data().toInt() == command) return action;
    }
    return nullptr;
  }

  // Triggers a command that opens a modal dialog (NumberDialog or
  // TextDialog) and hands the dialog to `drive` once it is running.
  template <typename Dialog = NumberDialog>
  void withDialog(LauncherWindow& window, int command,
                  const std::function<void(std::type_identity_t<Dialog>&)>& drive) {
    bool driven = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      driven = true;
      drive(*dialog);
      if (dialog->isVisible()) dialog->reject();
    });
    actionFor(&window, command)->trigger();
    EXPECT_TRUE(driven);
  }

  QMessageBox* shownMessage() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box && box->isVisible()) return box;
    }
    return nullptr;
  }

  ScratchFolder folder_;
  InFolder inside_;
  LauncherSettings settings_;
};

TEST_F(QtLauncher, WindowTitlePictureAndFixedClientSize) {
  LauncherWindow window(settings_);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.windowTitle(), "Vantrell Gratwell");
  EXPECT_EQ(window.centralWidget()->size(), QSize(512, 512));
  EXPECT_EQ(window.centralWidget()->geometry().top(), window.menuBar()->geometry().bottom() + 1);
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  ASSERT_FALSE(window.picture()->pixmap().isNull());
  EXPECT_EQ(window.picture()->pixmap().size(), QSize(512, 512));
  EXPECT_FALSE(window.windowIcon().isNull());
}

TEST_F(QtLauncher, MenusHoldTheEntriesInOrder) {
  LauncherWindow window(settings_);
  QList<QAction*> bar = window.menuBar()->actions();
  ASSERT_EQ(bar.size(), 2);
  EXPECT_EQ(bar[0]->text(), "File(&F)");
  EXPECT_EQ(bar[1]->text(), "Run Maker(&R)");
  auto describe = [](QMenu* menu) {
    QStringList entries;
    for (QAction* action : menu->actions()) {
      entries << (action->isSeparator() ? QStringLiteral("-")
                                        : action->text() + ":" + action->data().toString());
    }
    return entries.join('|');
  };
  EXPECT_EQ(describe(bar[0]->menu()), "Chart(&C):34400|-|Close(&X):105");
  EXPECT_EQ(describe(bar[1]->menu()),
            "Box Reverse(-b):34102|Data Expand(-e):|Show Lines(-s):34104|"
            "Figure Length(-f):34105|ScrollBack Counts(-r):34106|Box Size(-p):34107|"
            "Box Grid(-g):34108|-|Options:34300|-|"
            "Save Settings:34500");
  EXPECT_EQ(describe(bar[1]->menu()->actions()[1]->menu()), "OFF:34211");
}

TEST_F(QtLauncher, LoadsTheSettingsFileWhenMade) {
  writeFile("DefaultSetting", base64(R"({"ShowLines":"50","DataExpand":"TRUE"})"));
  LauncherWindow window(settings_);
  EXPECT_EQ(settings_.ShowLines, "50");
  EXPECT_EQ(settings_.DataExpand, "TRUE");
}

TEST_F(QtLauncher, NumericCommandsOpenTheDialogForTheirField) {
  LauncherWindow window(settings_);
  window.show();
  const struct {
    int command;
    const char* label;
    int minimum, maximum;
    const char* shown;
  } rows[] = {{34102, "Box Reverse", 3, 5, "3"},
              {34104, "Show Lines", 3, 150, "20"},
              {34105, "Figure Length", 1, 7, "3"},
              {34106, "Scroll Back Lines", 3, 300, "30"}};
  for (const auto& row : rows) {
    withDialog(window, row.command, [&](NumberDialog& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "Input Number");
      EXPECT_EQ(dialog.label()->text(), row.label);
      EXPECT_EQ(dialog.slider()->minimum(), row.minimum);
      EXPECT_EQ(dialog.slider()->maximum(), row.maximum);
      EXPECT_EQ(dialog.numberBox()->text(), row.shown);
      EXPECT_EQ(dialog.cancelButton()->text(), QString::fromUtf8("キャンセル"));
      EXPECT_TRUE(dialog.okButton()->hasFocus() || dialog.focusWidget() == dialog.okButton());
      dialog.numberBox()->setText("4");
      QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    });
  }
  EXPECT_EQ(settings_, (LauncherSettings{"4", "FALSE", "4", "4", "4"}));
}

TEST_F(QtLauncher, BoxCommandsOpenTheTextDialogAndRefuseWhatTheViewerWouldNot) {
  settings_.GridScale = "atr14";
  LauncherWindow window(settings_);
  window.show();
  const struct {
    int command;
    const char* label;
    const char* shown;
    const char* typed;
    const char* stored;
  } rows[] = {{34107, "Box Size % (0 < P <= 50)", "1", " 0.25", "0.25"},
              {34107, "Box Size % (0 < P <= 50)", "0.25", "75", "1"},
              {34108, "Grid: 1%, 0.0010, trad, atr14; empty: none", "atr14", "1%", "1%"},
              {34108, "Grid: 1%, 0.0010, trad, atr14; empty: none", "1%", "atr0", ""}};
  for (const auto& row : rows) {
    withDialog<TextDialog>(window, row.command, [&](TextDialog& dialog) {
      EXPECT_EQ(dialog.windowTitle(), "Input Text");
      EXPECT_EQ(dialog.label()->text(), row.label);
      EXPECT_EQ(dialog.textBox()->text(), row.shown);
      EXPECT_EQ(dialog.cancelButton()->text(), QString::fromUtf8("キャンセル"));
      EXPECT_TRUE(dialog.okButton()->hasFocus() || dialog.focusWidget() == dialog.okButton());
      dialog.textBox()->setText(row.typed);
      QTest::keyClick(dialog.textBox(), Qt::Key_Return);
    });
    EXPECT_EQ(settings_.*textFieldFor(row.command)->field, row.stored) << row.typed;
  }
  // Cancel keeps the field whatever was typed.
  withDialog<TextDialog>(window, 34108, [&](TextDialog& dialog) {
    dialog.textBox()->setText("trad");
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
  });
  EXPECT_EQ(settings_.GridScale, "");
  EXPECT_EQ(settings_.BoxPercent, "1");
}

TEST_F(QtLauncher, OutOfRangeFieldShowsAsItIsWithTheSliderAtItsEnd) {
  settings_.BoxReverse = "9";
  NumberDialog dialog(*numberFieldFor(kCommandBoxReverse), settings_);
  EXPECT_EQ(dialog.numberBox()->text(), "9");
  EXPECT_EQ(dialog.slider()->value(), 5);
  dialog.accept();
  EXPECT_EQ(settings_.BoxReverse, "3");
}

TEST_F(QtLauncher, SliderMovesTheNumberBoxButTypingLeavesTheSlider) {
  NumberDialog dialog(*numberFieldFor(kCommandShowLines), settings_);
  dialog.show();
  dialog.slider()->setFocus();
  QTest::keyClick(dialog.slider(), Qt::Key_End);
  EXPECT_EQ(dialog.numberBox()->text(), "150");
  QTest::keyClick(dialog.slider(), Qt::Key_Left);
  EXPECT_EQ(dialog.numberBox()->text(), "149");
  dialog.numberBox()->setText("7");
  EXPECT_EQ(dialog.slider()->value(), 149);
}

// Like the Windows trackbar, every key, click and release on the slider
// reports its position, also when the position does not change.
TEST_F(QtLauncher, EverySliderActionFillsTheNumberBoxEvenWithoutAMove) {
  NumberDialog dialog(*numberFieldFor(kCommandShowLines), settings_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QSlider* slider = dialog.slider();
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_End);
  ASSERT_EQ(slider->value(), 150);

  const struct {
    const char* action;
    std::function<void()> act;
    const char* shown;
  } steps[] = {
      {"End at the maximum", [&] { QTest::keyClick(slider, Qt::Key_End); }, "150"},
      {"Right at the maximum", [&] { QTest::keyClick(slider, Qt::Key_Right); }, "150"},
      {"Page Up at the maximum", [&] { QTest::keyClick(slider, Qt::Key_PageUp); }, "150"},
      {"click at the right end",
       [&] {
         QTest::mouseClick(slider, Qt::LeftButton, {},
                           QPoint(slider->width() - 3, slider->height() / 2));
       },
       "150"},
      {"Home", [&] { QTest::keyClick(slider, Qt::Key_Home); }, "3"},
      {"Home at the minimum", [&] { QTest::keyClick(slider, Qt::Key_Home); }, "3"},
      {"Left at the minimum", [&] { QTest::keyClick(slider, Qt::Key_Left); }, "3"},
      {"click at the left end",
       [&] { QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(2, slider->height() / 2)); },
       "3"},
  };
  for (const auto& step : steps) {
    dialog.numberBox()->setText("77");
    step.act();
    EXPECT_EQ(dialog.numberBox()->text().toStdString(), step.shown) << step.action;
  }

  // What the box shows after the last action is what OK stores.
  dialog.numberBox()->setText("77");
  QTest::keyClick(slider, Qt::Key_End);
  QTest::keyClick(slider, Qt::Key_End);
  dialog.accept();
  EXPECT_EQ(settings_.ShowLines, "150");
}

TEST_F(QtLauncher, CancelAndEscapeKeepTheFieldEvenAfterTheSliderMoved) {
  NumberDialog dialog(*numberFieldFor(kCommandShowLines), settings_);
  dialog.show();
  dialog.slider()->setValue(100);
  QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(settings_.ShowLines, "20");

  NumberDialog again(*numberFieldFor(kCommandShowLines), settings_);
  again.show();
  again.numberBox()->setText("100");
  QTest::keyClick(&again, Qt::Key_Escape);
  EXPECT_EQ(settings_.ShowLines, "20");
}

TEST_F(QtLauncher, EnterIsOkAndBadInputStoresTheMinimum) {
  for (const char* typed : {"abc", "", "0", "6"}) {
    settings_.BoxReverse = "4";
    NumberDialog dialog(*numberFieldFor(kCommandBoxReverse), settings_);
    dialog.show();
    dialog.numberBox()->setText(typed);
    QTest::keyClick(dialog.numberBox(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings_.BoxReverse, "3") << typed;
  }
}

TEST_F(QtLauncher, DataExpandOffShowsItsMessageAndLeavesTheWindowUsable) {
  settings_.DataExpand = "TRUE";
  LauncherWindow window(settings_);
  window.show();
  actionFor(&window, kCommandDataExpandOff)->trigger();
  EXPECT_EQ(settings_.DataExpand, "FALSE");
  QMessageBox* box = shownMessage();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "DATA EXPAND OFF");
  EXPECT_EQ(box->windowTitle(), "DATA EXPAND");
  EXPECT_EQ(box->icon(), QMessageBox::Information);
  EXPECT_EQ(box->parentWidget(), nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  box->button(QMessageBox::Ok)->click();
}

TEST_F(QtLauncher, OptionsTracesAndShowsTheRunOptions) {
  LauncherWindow window(settings_);
  std::string trace;
  window.setTraceSink([&](const std::string& text) { trace += text; });
  actionFor(&window, kCommandOptions)->trigger();
  const std::string rule(60, '-');
  EXPECT_EQ(trace, rule + "\n-b 3 -s 20 -f 3 -r 30 \n" + rule + "\n");
  QMessageBox* box = shownMessage();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "-b 3 -s 20 -f 3 -r 30 ");
  EXPECT_EQ(box->windowTitle(), "RUN OPTIONS");
}

TEST_F(QtLauncher, SaveWritesTheFileAndCloseDoesNot) {
  LauncherWindow window(settings_);
  window.show();
  QSignalSpy closed(&window, &LauncherWindow::closed);
  settings_.FigureLength = "6";
  actionFor(&window, kCommandClose)->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(std::filesystem::exists("DefaultSetting"));
  actionFor(&window, kCommandSaveSettings)->trigger();
  LauncherSettings loaded;
  LoadSettings(loaded);
  EXPECT_EQ(loaded.FigureLength, "6");
}

TEST_F(QtLauncher, ChartStartsTheViewerInATerminal) {
  ScratchFolder tools;
  writeFile(tools / "terminal", "#!/bin/sh\necho \"$@\" > started.tmp\nmv started.tmp started\n");
  ::chmod((tools / "terminal").c_str(), 0755);
  writeFile("ConsoleTavelundPF", "#!/bin/sh\n");
  ::chmod("ConsoleTavelundPF", 0755);
  ScopedEnvironment terminal("TERMINAL", (tools / "terminal").c_str());
  LauncherWindow window(settings_);
  actionFor(&window, kCommandChart)->trigger();
  EXPECT_TRUE(QTest::qWaitFor([] { return std::filesystem::exists("started"); }, 30000));
  EXPECT_EQ(readFile("started"), "-e ./ConsoleTavelundPF -b 3 -s 20 -f 3 -r 30\n");

  std::filesystem::remove("started");
  settings_.BoxPercent = "0.5";
  settings_.GridScale = "1%";
  actionFor(&window, kCommandChart)->trigger();
  EXPECT_TRUE(QTest::qWaitFor([] { return std::filesystem::exists("started"); }, 30000));
  EXPECT_EQ(readFile("started"), "-e ./ConsoleTavelundPF -b 3 -s 20 -f 3 -r 30 -p 0.5 -g 1%\n");
}

// Two real processes: the second start asks the first to come forward and
// ends with 0; the first keeps running.
TEST(QtLauncherProcess, SecondStartEndsAndLeavesTheFirst) {
  ScratchFolder folder;
  // A runtime folder of their own: a launcher the developer runs stays out.
  ScratchFolder runtime;
  ::chmod(runtime.path().c_str(), 0700);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path().string()));
  QProcess first;
  first.setProcessEnvironment(environment);
  first.setWorkingDirectory(QString::fromStdString(folder.path().string()));
  first.start(QStringLiteral(VANTRELL_PROGRAM), {});
  ASSERT_TRUE(first.waitForStarted(30000));

  const QString socketPath = QString::fromStdString((runtime / "Vantrell Gratwell").string());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        return socket.waitForConnected(100);
      },
      30000));

  QProcess second;
  second.setProcessEnvironment(environment);
  second.setWorkingDirectory(QString::fromStdString(folder.path().string()));
  second.start(QStringLiteral(VANTRELL_PROGRAM), {});
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  first.terminate();
  if (!first.waitForFinished(30000)) first.kill();
  first.waitForFinished(30000);
}

}  // namespace
}  // namespace tavelund

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
