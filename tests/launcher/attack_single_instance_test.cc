// Another local user against the Linux launcher's single-instance check.
// Before, the socket lay in the shared temporary folder under a name anyone
// could guess, and any listener there made the user's launcher quit at once.
// Now the socket lies in a folder only the user can enter, and only a peer
// of the same user counts on either side. The victim is the real program;
// the attacker is launcher_socket_attacker run as a second local user.
#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "launcher_test_util.h"
#include "tests/support/second_user.h"
#include "tests/support/wait.h"

namespace tavelund {
namespace {

using tavelund::testing::SecondUser;
using tavelund::testing::waitFor;
using testing_support::ScratchFolder;

constexpr std::chrono::seconds kPatience{30};
constexpr const char* kSocketName = "Vantrell Gratwell";

// Who listens at `path`: the user id of the process behind it, or -1 when
// nothing answers there.
long long listenerUser(const std::string& path) {
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  long long user = -1;
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0) user = peer.uid;
  }
  ::close(socket);
  return user;
}

void ownedBy(const std::filesystem::path& path, const SecondUser& user, mode_t mode) {
  ASSERT_EQ(::chown(path.c_str(), user.id(), user.group()), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

class SingleInstanceAttack : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!attacker_.ready()) GTEST_SKIP() << "SKIPPED: " << attacker_.problem();
    // Like /tmp: everyone may make entries, nobody may remove another's.
    ASSERT_EQ(::chmod(shared_.path().c_str(), 01777), 0);
    attackerProgram_ = attacker_.runnableCopy(SOCKET_ATTACKER_PROGRAM);
    ASSERT_FALSE(attackerProgram_.empty());
  }

  void TearDown() override { stopBoth(); }

  void stopBoth() {
    for (QProcess* process : {&victim_, &attackerProcess_}) {
      if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(30000);
      }
    }
  }

  // The child becomes the second user before it runs its program, so that
  // killing the child kills the attacker.
  void runAsAttacker(QProcess& process) {
    process.setChildProcessModifier([this] {
      if (!attacker_.becomeInChild()) ::_exit(126);
    });
  }

  // Starts the attacker listening on `paths` and waits until it does.
  void attackerListens(const QStringList& paths) {
    runAsAttacker(attackerProcess_);
    attackerProcess_.setProgram(QString::fromStdString(attackerProgram_.string()));
    attackerProcess_.setArguments(QStringList{"listen"} + paths);
    attackerProcess_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    attackerProcess_.start();
    ASSERT_TRUE(attackerProcess_.waitForStarted(30000));
    QByteArray said;
    waitFor(
        [&] {
          attackerProcess_.waitForReadyRead(50);
          said += attackerProcess_.readAllStandardOutput();
          return said.contains("listening") || attackerProcess_.state() == QProcess::NotRunning;
        },
        kPatience);
    ASSERT_TRUE(said.contains("listening")) << said.toStdString();
  }

  // The attacker asks the launcher at `path` to come forward; its exit code.
  int attackerAsksToRaise(const std::string& path) {
    QProcess asker;
    runAsAttacker(asker);
    asker.start(QString::fromStdString(attackerProgram_.string()),
                {"raise", QString::fromStdString(path)});
    if (!asker.waitForFinished(60000)) return -1;
    return asker.exitCode();
  }

  // The real launcher as this user, with the temporary folder in the shared
  // scratch folder and $XDG_RUNTIME_DIR as given (nullptr: unset).
  void startVictim(const char* runtimeFolder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TMPDIR", QString::fromStdString(shared_.path().string()));
    if (runtimeFolder) {
      environment.insert("XDG_RUNTIME_DIR", runtimeFolder);
    } else {
      environment.remove("XDG_RUNTIME_DIR");
    }
    victim_.setProcessEnvironment(environment);
    victim_.setWorkingDirectory(QString::fromStdString(work_.path().string()));
    victim_.setProcessChannelMode(QProcess::MergedChannels);
    victim_.start(VANTRELL_PROGRAM, {});
    ASSERT_TRUE(victim_.waitForStarted(30000));
  }

  // Waits until the victim's own socket answers at `path` (or it ended).
  bool victimListensAt(const std::string& path) {
    return waitFor(
               [&] {
                 victim_.waitForFinished(20);  // notices an end
                 return victim_.state() == QProcess::NotRunning ||
                        listenerUser(path) == ::geteuid();
               },
               kPatience) &&
           victim_.state() == QProcess::Running;
  }

  // Waits until the victim said `text` (or it ended).
  bool victimSays(const QByteArray& text) {
    waitFor(
        [&] {
          victim_.waitForReadyRead(50);
          victimOutput_ += victim_.readAll();
          return victimOutput_.contains(text) || victim_.state() == QProcess::NotRunning;
        },
        kPatience);
    return victimOutput_.contains(text) && victim_.state() == QProcess::Running;
  }

  std::string fallbackFolder() const {
    return (shared_ / ("vantrell-" + std::to_string(::geteuid()))).string();
  }

  // The name the launcher used to listen on, in the shared temporary folder.
  QString guessableName() const {
    return QString::fromStdString(
        (shared_ / (std::string(kSocketName) + "-" + std::to_string(::geteuid()))).string());
  }

  SecondUser attacker_;
  ScratchFolder shared_;
  ScratchFolder work_;
  std::filesystem::path attackerProgram_;
  QProcess attackerProcess_;
  QProcess victim_;
  QByteArray victimOutput_;
};

// The attacker listens at the old guessable name and has taken the name of
// the launcher's own folder in the shared temporary folder: with a folder
// open to all, or with a link to a private folder of the user (which it
// could turn elsewhere later). The launcher stays, says why a second start
// will not find it, and uses neither.
TEST_F(SingleInstanceAttack, SocketsOfAnotherUserInTheSharedFolderDoNotEndTheLauncher) {
  const std::filesystem::path squatted = fallbackFolder();
  const std::filesystem::path usersOwn = shared_ / "users-own";
  std::filesystem::create_directory(usersOwn);
  ::chmod(usersOwn.c_str(), 0700);
  for (const bool asLink : {false, true}) {
    SCOPED_TRACE(asLink ? "link" : "folder");
    std::filesystem::remove_all(squatted);
    QStringList listeners{guessableName()};
    if (asLink) {
      std::filesystem::create_directory_symlink(usersOwn, squatted);
      ASSERT_EQ(::lchown(squatted.c_str(), attacker_.id(), attacker_.group()), 0);
    } else {
      std::filesystem::create_directory(squatted);
      ownedBy(squatted, attacker_, 0777);
      listeners << QString::fromStdString((squatted / kSocketName).string());
    }
    attackerListens(listeners);
    startVictim(nullptr);
    EXPECT_TRUE(victimSays("is not a folder of this user closed to others"))
        << victimOutput_.toStdString();
    EXPECT_FALSE(std::filesystem::exists(usersOwn / kSocketName));
    stopBoth();
    victimOutput_.clear();
  }
}

// $XDG_RUNTIME_DIR that others may enter, or that another user owns, is not
// used: the launcher makes its own folder and listens there.
TEST_F(SingleInstanceAttack, RuntimeFolderThatIsNotPrivateIsNotUsed) {
  const struct {
    const char* name;
    bool attackerOwns;
    mode_t mode;
  } cases[] = {{"open-runtime", false, 0777}, {"attacker-runtime", true, 0700}};
  for (const auto& folderCase : cases) {
    SCOPED_TRACE(folderCase.name);
    const std::filesystem::path runtime = shared_ / folderCase.name;
    std::filesystem::create_directory(runtime);
    if (folderCase.attackerOwns) {
      ownedBy(runtime, attacker_, folderCase.mode);
    } else {
      ::chmod(runtime.c_str(), folderCase.mode);
    }
    attackerListens({guessableName(), QString::fromStdString((runtime / kSocketName).string())});
    startVictim(runtime.c_str());
    EXPECT_TRUE(victimListensAt(fallbackFolder() + "/" + kSocketName))
        << victimOutput_.toStdString() << victim_.readAll().toStdString();
    struct stat status {};
    ASSERT_EQ(::lstat(fallbackFolder().c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, ::geteuid());
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    stopBoth();
  }
}

// Another user's socket under the launcher's own name in its private folder
// (put there by some other way): its answer does not count.
TEST_F(SingleInstanceAttack, AnswerFromAnotherUserIsNotTakenForALauncher) {
  const std::filesystem::path runtime = shared_ / "runtime";
  std::filesystem::create_directory(runtime);
  ::chmod(runtime.c_str(), 0700);
  const std::filesystem::path attackerFolder = shared_ / "attacker-own";
  std::filesystem::create_directory(attackerFolder);
  ownedBy(attackerFolder, attacker_, 0700);
  attackerListens({QString::fromStdString((attackerFolder / "socket").string())});
  std::filesystem::rename(attackerFolder / "socket", runtime / kSocketName);
  ASSERT_EQ(listenerUser((runtime / kSocketName).string()), attacker_.id());

  startVictim(runtime.c_str());
  EXPECT_TRUE(victimListensAt((runtime / kSocketName).string())) << victimOutput_.toStdString();
}

// A request that reaches the launcher's socket from another user (here the
// folder and socket are opened on purpose) is not answered.
TEST_F(SingleInstanceAttack, RequestFromAnotherUserIsNotAnswered) {
  const std::filesystem::path runtime = shared_ / "runtime";
  std::filesystem::create_directory(runtime);
  ::chmod(runtime.c_str(), 0700);
  const std::string socket = (runtime / kSocketName).string();
  startVictim(runtime.c_str());
  ASSERT_TRUE(victimListensAt(socket)) << victimOutput_.toStdString();
  ASSERT_EQ(::chmod(runtime.c_str(), 0711), 0);
  ASSERT_EQ(::chmod(socket.c_str(), 0777), 0);

  EXPECT_EQ(attackerAsksToRaise(socket), 1);
  // The same request from this user is answered: the path works.
  QProcess own;
  own.start(QString::fromStdString(attackerProgram_.string()),
            {"raise", QString::fromStdString(socket)});
  ASSERT_TRUE(own.waitForFinished(60000));
  EXPECT_EQ(own.exitCode(), 0) << own.readAll().toStdString();
  EXPECT_EQ(victim_.state(), QProcess::Running);
}

}  // namespace
}  // namespace tavelund

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
