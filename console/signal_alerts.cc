#include "console/signal_alerts.h"

#include <utility>

#include "analysis/signal_news.h"
#include "common/number_text.h"
#include "common/screen_text.h"

namespace tavelund {

void SignalAlerts::start(std::vector<analysis::Signal> current) { seen_ = std::move(current); }

void SignalAlerts::stop() { seen_.reset(); }

std::vector<analysis::Signal> SignalAlerts::take(const std::vector<analysis::Signal>& after) {
  if (!seen_) return {};
  std::vector<analysis::Signal> fresh = analysis::newSignals(*seen_, after);
  seen_->insert(seen_->end(), fresh.begin(), fresh.end());
  return fresh;
}

std::string signalWords(const analysis::Signal& signal, int32_t digits) {
  return std::string(analysis::sideName(signal.side)) + " " +
         std::string(analysis::kindName(signal.kind)) + " " + fixedText(signal.price, digits);
}

std::string signalLogText(const analysis::Signal& signal, int32_t digits) {
  return "SIGNAL      : " + signal.time + " " + signalWords(signal, digits);
}

std::string unloggedSignalsNote(size_t count) {
  return "SIGNAL      : " + std::to_string(count) + " older ones of this batch not logged";
}

std::string alertTitle(std::string_view liveTitle, const analysis::Signal& signal, int32_t digits) {
  // The words are the viewer's own and a number, but the title is one line
  // of the window's frame: it stays short whatever the price.
  return screenTextWithin(std::string(liveTitle) + " - " + signalWords(signal, digits),
                          kMostAlertTitleCells);
}

}  // namespace tavelund
