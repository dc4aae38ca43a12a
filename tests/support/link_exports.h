#pragma once
// Test support: the eighteen exports resolved by name from a loaded link
// library, the way the trading terminal binds them.
#include <string>

#include "link/tickwell.h"
#include "tests/support/dynamic_library.h"

namespace tavelund::testing {

#define TICKWELL_EXPORTS(X)                                                                   \
  X(preInitSendticksMT5)                                                                      \
  X(initSendticksMT5) X(deinitSendticksMT5) X(checkSendticksMT5) X(checkSendticksCharMT5)     \
      X(getSendCheckMT5) X(getsendtimeMT5) X(getsymbolcMT5) X(gettimespanMT5) X(ReadLinesMT5) \
          X(setsendcheckMT5) X(setsendtimeMT5) X(setsendtimeNowMT5) X(settimespanMT5)         \
              X(setsymbolcMT5) X(lineSendTimeLineMT5) X(completeSendticksMT5) X(add)

struct LinkExports {
#define TICKWELL_FIELD(name) decltype(&::name) name = nullptr;
  TICKWELL_EXPORTS(TICKWELL_FIELD)
#undef TICKWELL_FIELD

  // Resolves every export; returns the names that are missing, if any.
  std::string resolve(const DynamicLibrary& library) {
    std::string missing;
#define TICKWELL_RESOLVE(name)                                       \
  name = reinterpret_cast<decltype(&::name)>(library.symbol(#name)); \
  if (name == nullptr) missing += std::string(missing.empty() ? "" : ", ") + #name;
    TICKWELL_EXPORTS(TICKWELL_RESOLVE)
#undef TICKWELL_RESOLVE
    return missing;
  }

  void setFlag(int value) const { setsendcheckMT5(&value); }
};

}  // namespace tavelund::testing
