#include <system_error>

#include "tests/support/planted_links.h"

namespace tavelund::testing {

bool PlantedLinks::plant(const std::string& target, const std::string& name) {
  std::error_code error;
  std::filesystem::create_symlink(target, folder_ / name, error);
  return !error;
}

PlantedLinks::~PlantedLinks() = default;

}  // namespace tavelund::testing
