#pragma once
// Test support: whether any of the five channels is there, asked through
// whichever binding of checkSendticksMT5 the test has (linked or loaded).
#include <array>

namespace tavelund::testing {

inline constexpr std::array<const wchar_t*, 5> kChannelNames{
    L"LOW_SENDCHECKShared", L"LOW_SENDTIMEShared", L"LOW_TIMELINEShared", L"LOW_BLANDShared",
    L"LOW_TIMESPANShared"};

template <typename Check>
bool anyChannelExists(Check check) {
  for (const wchar_t* name : kChannelNames) {
    if (check(name)) return true;
  }
  return false;
}

}  // namespace tavelund::testing
