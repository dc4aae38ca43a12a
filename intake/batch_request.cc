#include "intake/batch_request.h"

#include <string>

#include "common/deadline.h"

namespace tavelund {

BatchAnswer requestBatch(const LinkCalls& link, const BatchRequest& request,
                         const BatchProgress& progress) {
  const auto abandoned = [&] { return request.abandon != nullptr && request.abandon->load(); };
  const auto show = [&](long long waited) {
    if (progress.out == nullptr) return;
    *progress.out << std::string(progress.erase, '\b') << progress.label << waited << " milSecond"
                  << std::flush;
  };
  if (request.ask) {
    int ask = 0;
    link.setSendCheck(&ask);
  }
  const auto start = MonotonicClock::now();
  BatchAnswer answer = BatchAnswer::NoAnswer;
  for (;;) {
    const long long waited = elapsedMilliseconds(start);
    if (progress.shown == ProgressShown::BeforeEveryLook) show(waited);
    if (waited >= request.answerWait.count()) break;
    if (abandoned()) return BatchAnswer::Abandoned;
    if (link.getSendCheck() == 1) {
      answer = BatchAnswer::Published;
      break;
    }
    if (progress.shown == ProgressShown::WhileWaiting) show(elapsedMilliseconds(start));
    sleepUntil(MonotonicClock::now() + request.progressInterval);
  }
  if (abandoned()) return BatchAnswer::Abandoned;
  if (progress.out != nullptr) *progress.out << "\r\n    Done." << std::endl;
  return answer;
}

}  // namespace tavelund
