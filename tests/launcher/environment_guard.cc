// Every launcher test leaves the environment variables that steer the
// launcher as it found them. One that does not fails itself here, instead of
// making whichever test runs after it pass or fail by luck.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kWatched[] = {"TERMINAL", "XDG_RUNTIME_DIR", "TMPDIR", "PATH"};

std::vector<std::optional<std::string>> watchedValues() {
  std::vector<std::optional<std::string>> values;
  for (const char* name : kWatched) {
    const char* value = std::getenv(name);
    values.push_back(value ? std::optional<std::string>(value) : std::nullopt);
  }
  return values;
}

class EnvironmentGuard : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { before_ = watchedValues(); }
  void OnTestEnd(const ::testing::TestInfo&) override {
    const auto after = watchedValues();
    for (std::size_t i = 0; i < after.size(); ++i) {
      EXPECT_EQ(after[i], before_[i]) << kWatched[i] << " was changed and not put back";
    }
  }
  std::vector<std::optional<std::string>> before_;
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new EnvironmentGuard);
  return true;
}();

}  // namespace
