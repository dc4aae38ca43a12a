// Where the Linux launcher puts its single-instance socket, and who counts
// as the same user at the other end. Attacks by a second user are in
// attack_single_instance_test.cc.
#include "launcher/qt/private_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "launcher/qt/peer_user.h"
#include "launcher_test_util.h"

namespace tavelund {
namespace {

using testing_support::ScratchFolder;
using testing_support::writeFile;

// Type and permission bits, as lstat sees them; 0 when nothing is there.
mode_t modeOf(const std::filesystem::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

class PrivateSocketFolder : public ::testing::Test {
 protected:
  PrivateSocketFolder() {
    std::filesystem::create_directory(runtime_);
    ::chmod(runtime_.c_str(), 0700);
  }
  std::string fallback() const {
    return (temporary_ / ("vantrell-" + std::to_string(::geteuid()))).string();
  }
  ScratchFolder temporary_;
  std::filesystem::path runtime_ = temporary_ / "runtime";
};

TEST_F(PrivateSocketFolder, PrivateRuntimeFolderIsUsedAsItIs) {
  const PrivateFolder folder = privateSocketFolder(runtime_.c_str(), temporary_.path().string());
  EXPECT_EQ(folder.path, runtime_.string());
  EXPECT_EQ(folder.problem, "");
  EXPECT_FALSE(std::filesystem::exists(fallback()));
}

TEST_F(PrivateSocketFolder, WithoutAUsableRuntimeFolderAUserOnlyFolderIsMade) {
  const std::filesystem::path link = temporary_ / "link-to-runtime";
  std::filesystem::create_directory_symlink(runtime_, link);
  const std::filesystem::path open = temporary_ / "open";
  std::filesystem::create_directory(open);
  ::chmod(open.c_str(), 0750);
  for (const char* runtime :
       {static_cast<const char*>(nullptr), "", "/no/such/folder", link.c_str(), open.c_str()}) {
    SCOPED_TRACE(runtime ? runtime : "(unset)");
    const PrivateFolder folder = privateSocketFolder(runtime, temporary_.path().string());
    EXPECT_EQ(folder.path, fallback());
    EXPECT_EQ(folder.problem, "");
    EXPECT_EQ(modeOf(fallback()), static_cast<mode_t>(S_IFDIR | 0700));
  }
  // Made with user-only access whatever the umask says.
  std::filesystem::remove(fallback());
  const mode_t previous = ::umask(0);
  const PrivateFolder folder = privateSocketFolder(nullptr, temporary_.path().string());
  ::umask(previous);
  EXPECT_EQ(folder.path, fallback());
  EXPECT_EQ(modeOf(fallback()), static_cast<mode_t>(S_IFDIR | 0700));
}

TEST_F(PrivateSocketFolder, FallbackThatIsNotPrivateIsRefusedAndLeftAlone) {
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {"folder open to the group",
       [](const std::string& path) {
         std::filesystem::create_directory(path);
         ::chmod(path.c_str(), 0770);
       }},
      {"file", [](const std::string& path) { writeFile(path, "x"); }},
      {"link to a private folder",
       [this](const std::string& path) {
         std::filesystem::create_directory_symlink(runtime_, path);
       }},
  };
  for (const auto& refused : cases) {
    SCOPED_TRACE(refused.what);
    std::filesystem::remove_all(fallback());
    refused.make(fallback());
    const mode_t before = modeOf(fallback());
    const PrivateFolder folder = privateSocketFolder(nullptr, temporary_.path().string());
    EXPECT_EQ(folder.path, "");
    EXPECT_EQ(folder.problem, fallback() + " is not a folder of this user closed to others");
    EXPECT_EQ(modeOf(fallback()), before);
  }
}

TEST_F(PrivateSocketFolder, FolderThatCannotBeMadeIsSaidWithTheReason) {
  const PrivateFolder folder = privateSocketFolder(nullptr, (temporary_ / "missing").string());
  EXPECT_EQ(folder.path, "");
  EXPECT_EQ(folder.problem, "cannot make " + (temporary_ / "missing").string() + "/vantrell-" +
                                std::to_string(::geteuid()) + ": No such file or directory");
}

TEST(PeerUser, OnlyAConnectedSocketOfThisUserCounts) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  EXPECT_TRUE(peerIsThisUser(pair[0]));
  ::close(pair[0]);
  ::close(pair[1]);
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  EXPECT_FALSE(peerIsThisUser(pipeEnds[0]));
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  EXPECT_FALSE(peerIsThisUser(-1));
}

}  // namespace
}  // namespace tavelund
