// The two-process tests start this program again in a role.
#include <cstring>

#include <gtest/gtest.h>

#include "tests/link/process_support.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--role") == 0) {
    return tavelund::testing::runRole(argv[2]);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
