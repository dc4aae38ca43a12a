#pragma once
// The five channels of the link, each a shared-memory block and the named
// mutex that guards it, by the names that both sides know them by. The
// order is the channels' construction and destruction order.
namespace tavelund {

enum ChannelId { kSendCheck, kSendTime, kTimeline, kBland, kTimeSpan, kChannelCount };

struct ChannelName {
  const wchar_t* mapping;
  const wchar_t* mutex;
};

inline constexpr ChannelName kChannelNames[kChannelCount] = {
    {L"LOW_SENDCHECKShared", L"LOW_SENDCHECKmutex"}, {L"LOW_SENDTIMEShared", L"LOW_SENDTIMEmutex"},
    {L"LOW_TIMELINEShared", L"LOW_TIMELINEmutex"},   {L"LOW_BLANDShared", L"LOW_BLANDmutex"},
    {L"LOW_TIMESPANShared", L"LOW_TIMESPANmutex"},
};

}  // namespace tavelund
