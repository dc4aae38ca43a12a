#pragma once
// The exports of the link library that the running viewer calls, in one
// place: main binds them to the real library once; tests bind stand-ins
// that play the MT5 side without shared memory.
namespace tavelund {

struct LinkCalls {
  const char* (*getSendTime)() = nullptr;
  const char* (*getSymbol)() = nullptr;
  int (*getSendCheck)() = nullptr;
  int (*setSendCheck)(int* value) = nullptr;
  const char* (*readLines)() = nullptr;
};

}  // namespace tavelund
