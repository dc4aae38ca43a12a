#pragma once
// The three link-library exports that the intake needs, gathered behind a
// seam so that tests can play the MT5 side without shared memory.
namespace tavelund {

struct LinkPort {
  int (*setSendCheck)(int* value);
  int (*getSendCheck)();
  const char* (*readLines)();
};

// The real exports of the tick link library.
LinkPort linkLibraryPort();

}  // namespace tavelund
