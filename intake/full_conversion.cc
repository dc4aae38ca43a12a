// The first conversion of a run. The text is cut at line ends into one part
// per thread; each thread reads its part straight into its own stretch of
// the record list, as long as the most records its part can hold. Lines
// that are no price lines leave gaps, which are closed afterwards, so the
// list comes out exactly as one thread reading line after line makes it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "intake/conversion_steps.h"
#include "common/prefault.h"

namespace tavelund {
namespace {

// Below this many bytes per thread, starting the thread costs more than the
// part it would read.
constexpr size_t kBytesPerThread = size_t{256} << 10;
struct Part {
  std::string_view text;
  bool last = false;  // the last part also holds the text after the last line end
  size_t lineEnds = 0;
  size_t slots = 0;      // the most records its text can hold
  size_t firstSlot = 0;  // slots of the parts before it
  size_t records = 0;    // records it made
  TextArena texts;       // long minute texts of its records (the first part uses the intake's)
  std::exception_ptr failure;
};

// The line ends in `text`, eight bytes at a time: a plain byte loop takes a
// good share of the whole conversion.
size_t countLineEnds(std::string_view text) {
  constexpr uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
  constexpr uint64_t kLineEnds = kOnes * '\n';
  size_t count = 0, at = 0;
  while (at + 8 <= text.size()) {
    // Per byte: 1 where it is a line end. At most 255 words per round, so
    // that no byte of the sum overflows.
    uint64_t sum = 0;
    for (int word = 0; word < 255 && at + 8 <= text.size(); ++word, at += 8) {
      uint64_t bytes;
      std::memcpy(&bytes, text.data() + at, 8);
      const uint64_t x = bytes ^ kLineEnds;                    // 0 where a line end is
      const uint64_t nonZero = (((x & ~kHigh) + ~kHigh) | x);  // high bit set where not
      sum += (~nonZero & kHigh) >> 7;
    }
    // Bytes summed in pairs, then the four 16-bit sums (each at most 510).
    const uint64_t pairs = (sum & 0x00FF00FF00FF00FFu) + ((sum >> 8) & 0x00FF00FF00FF00FFu);
    count += static_cast<size_t>((pairs * 0x0001000100010001u) >> 48);
  }
  for (; at < text.size(); ++at) count += text[at] == '\n';
  return count;
}

std::vector<Part> cutIntoParts(std::string_view text, unsigned count) {
  std::vector<Part> parts(count);
  size_t begin = 0;
  for (unsigned i = 0; i < count; ++i) {
    size_t end = text.size();
    if (i + 1 < count) {
      // The part ends after the first line end at or past its even share.
      const size_t from = std::max(begin, text.size() / count * (i + 1));
      const size_t found = text.find('\n', from);
      end = found == std::string_view::npos ? text.size() : found + 1;
    }
    parts[i].text = text.substr(begin, end - begin);
    parts[i].last = i + 1 == count;
    begin = end;
  }
  return parts;
}

// Runs `work` on every part: the first on this thread, the others on threads
// of their own (or here too when no thread is to be had). Returns when all
// are done; rethrows the first part's failure.
template <typename Work>
void onEveryPart(std::vector<Part>& parts, const Work& work) {
  auto run = [&](size_t i) {
    try {
      work(parts[i], i);
    } catch (...) {
      parts[i].failure = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(parts.size());
  std::vector<size_t> here = {0};
  for (size_t i = 1; i < parts.size(); ++i) {
    try {
      threads.emplace_back(run, i);
    } catch (const std::system_error&) {
      here.push_back(i);
    }
  }
  for (size_t i : here) run(i);
  for (std::thread& thread : threads) thread.join();
  for (Part& part : parts)
    if (part.failure) std::rethrow_exception(part.failure);
}

struct Lists {
  PriceRecord* records;  // the first record slot of the conversion
  int32_t recordBase;    // the number of that first slot
};

// Reads a part's lines into its slots. `reached` hears of every record made.
template <typename Reached>
void readPart(Part& part, TextArena& texts, const Lists& lists, const Reached& reached) {
  const std::string_view text = part.text;
  PriceRecord* records = lists.records + part.firstSlot;
  TimelineLine line;
  size_t made = 0, begin = 0;
  for (;;) {
    if (!part.last && begin >= text.size()) break;  // only the last part reads what follows its end
    const void* found =
        begin < text.size() ? std::memchr(text.data() + begin, '\n', text.size() - begin) : nullptr;
    const size_t end =
        found ? static_cast<size_t>(static_cast<const char*>(found) - text.data()) : text.size();
    if (parseTimelineLine(text.substr(begin, end - begin), line)) {
      records[made] = recordOf(line, texts);
      ++made;
      reached(lists.recordBase + static_cast<int32_t>(part.firstSlot + made - 1));
    }
    if (!found) break;
    begin = end + 1;
  }
  part.records = made;
}

// Moves a part's records down by `gap` slots.
void closeGap(const Part& part, const Lists& lists, size_t gap) {
  PriceRecord* records = lists.records + part.firstSlot;
  std::memmove(records - gap, records, part.records * sizeof(PriceRecord));
}

void printProgress(const ConsolePort& console, int32_t index, size_t lineEnds) {
  if ((index + 1) % 1000 != 0 || !console.out) return;
  *console.out << std::string(40, '\b') << "   CONVERSION : [ " << index + 1 << " / " << lineEnds
               << " ]" << std::flush;
}

}  // namespace

unsigned conversionThreads(size_t textBytes) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t worth = std::max<size_t>(1, textBytes / kBytesPerThread);
  return static_cast<unsigned>(std::min<size_t>(cores, worth));
}

void fullConversion(TickIntake& intake, std::string_view text, const ConsolePort& console,
                    unsigned threads) {
  std::vector<Part> parts = cutIntoParts(text, std::max(1u, threads));
  onEveryPart(parts, [](Part& part, size_t) {
    part.lineEnds = countLineEnds(part.text);
    // A record needs a whole line of some length: a text of blank lines
    // holds many line ends but few records, and is sized by its bytes.
    const size_t pieces = part.lineEnds + (part.last ? 1 : 0);
    part.slots = std::min(pieces, part.text.size() / kShortestRecordLine + 1);
  });
  // The progress total is the number of pieces minus one: the line ends.
  size_t lineEnds = 0, slots = 0;
  for (Part& part : parts) {
    part.firstSlot = slots;
    slots += part.slots;
    lineEnds += part.lineEnds;
  }

  // Room for every record and a quarter more for the bars that later
  // refreshes add. Room never written stays virtual.
  const size_t recordBase = intake.recordList.size();
  intake.recordList.reserve(recordBase + slots + slots / 4);
  adviseLargePages(intake.recordList.data(), intake.recordList.capacity() * sizeof(PriceRecord));
  intake.recordList.resize(recordBase + slots);
  const Lists lists{intake.recordList.data() + recordBase, static_cast<int32_t>(recordBase)};
  try {
    onEveryPart(parts, [&](Part& part, size_t i) {
      if (i == 0) {
        // The first part's numbers are final: its progress shows as it goes.
        readPart(part, intake.texts, lists,
                 [&](int32_t index) { printProgress(console, index, lineEnds); });
      } else {
        readPart(part, part.texts, lists, [](int32_t) {});
      }
    });
  } catch (...) {
    intake.recordList.resize(recordBase);
    throw;
  }

  size_t gap = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    Part& part = parts[i];
    if (gap > 0 && part.records > 0) closeGap(part, lists, gap);
    part.firstSlot -= gap;
    gap += part.slots - part.records;
    if (i > 0) {
      intake.texts.adopt(std::move(part.texts));
      const int64_t first = lists.recordBase + static_cast<int64_t>(part.firstSlot);
      const int64_t end = first + static_cast<int64_t>(part.records);
      for (int64_t index = (first + 1000) / 1000 * 1000 - 1; index < end; index += 1000)
        printProgress(console, static_cast<int32_t>(index), lineEnds);
    }
  }
  intake.recordList.resize(recordBase + slots - gap);
  setBatch(intake, recordBase);
}

}  // namespace tavelund
