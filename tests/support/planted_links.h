#pragma once
// Test support for attack tests: symbolic links planted in a folder where a
// program is about to write, taken away again before the folder goes.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tavelund::testing {

class PlantedLinks {
 public:
  explicit PlantedLinks(std::filesystem::path folder) : folder_(std::move(folder)) {}
  ~PlantedLinks();
  PlantedLinks(const PlantedLinks&) = delete;
  PlantedLinks& operator=(const PlantedLinks&) = delete;

  // A link `name` (a path relative to the folder) pointing at `target` (as
  // the link stores it: relative to the link's own folder; it need not
  // exist). False when this system cannot make one.
  bool plant(const std::string& target, const std::string& name);

 private:
  std::filesystem::path folder_;
  std::vector<std::string> byHost_;  // links the host made (under Wine)
};

}  // namespace tavelund::testing
