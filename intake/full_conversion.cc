// The first conversion of a run. The text is cut at line ends into one part
// per thread; each thread reads its part straight into its own stretch of
// the record and point lists, numbered as if every line before it were a
// record. Lines that are no price lines leave gaps, which are closed
// afterwards with the numbers moved down, so the lists come out exactly as
// one thread reading line after line makes them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "intake/conversion_steps.h"
#include "intake/prefault.h"

namespace tavelund {
namespace {

// Below this many bytes per thread, starting the thread costs more than the
// part it would read.
constexpr size_t kBytesPerThread = size_t{256} << 10;
// A minute text in the link's format: "yyyy/mm/dd hh:mm".
constexpr size_t kMinuteTextBytes = 16;

struct Part {
  std::string_view text;
  bool last = false;  // the last part also holds the text after the last line end
  size_t lineEnds = 0;
  size_t slots = 0;      // lines it may turn into records
  size_t firstSlot = 0;  // slots of the parts before it
  size_t records = 0;    // records it made
  TextArena texts;       // minute texts of its records (the first part uses the intake's)
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
  PricePoint* points;    // the first point slot of the conversion
  int32_t recordBase;    // numbers of those first slots
  int32_t pointBase;
  size_t pointsPerRecord;
};

// Reads a part's lines into its slots. `reached` hears of every record made.
template <typename Reached>
void readPart(Part& part, TextArena& texts, const Lists& lists, bool expand,
              const Reached& reached) {
  const std::string_view text = part.text;
  texts.reserve(part.slots * kMinuteTextBytes);
  PriceRecord* records = lists.records + part.firstSlot;
  PricePoint* points = lists.points + part.firstSlot * lists.pointsPerRecord;
  PriceRecord record;
  size_t made = 0, begin = 0;
  for (;;) {
    if (!part.last && begin >= text.size()) break;  // only the last part reads what follows its end
    const void* found =
        begin < text.size() ? std::memchr(text.data() + begin, '\n', text.size() - begin) : nullptr;
    const size_t end =
        found ? static_cast<size_t>(static_cast<const char*>(found) - text.data()) : text.size();
    if (parseTimelineLine(text.substr(begin, end - begin), record)) {
      const size_t slot = part.firstSlot + made;
      record.index = lists.recordBase + static_cast<int32_t>(slot);
      record.minuteText = texts.store(record.minuteText);  // the line does not last
      records[made] = record;
      writePoints(record, expand,
                  lists.pointBase + static_cast<int32_t>(slot * lists.pointsPerRecord),
                  points + made * lists.pointsPerRecord);
      ++made;
      reached(record.index);
    }
    if (!found) break;
    begin = end + 1;
  }
  part.records = made;
}

// Moves a part's records and points down by `gap` slots, numbers included.
void closeGap(const Part& part, const Lists& lists, size_t gap) {
  const size_t perRecord = lists.pointsPerRecord;
  PriceRecord* records = lists.records + part.firstSlot;
  PricePoint* points = lists.points + part.firstSlot * perRecord;
  std::memmove(records - gap, records, part.records * sizeof(PriceRecord));
  std::memmove(points - gap * perRecord, points, part.records * perRecord * sizeof(PricePoint));
  const auto recordShift = static_cast<int32_t>(gap);
  const auto pointShift = static_cast<int32_t>(gap * perRecord);
  for (size_t i = 0; i < part.records; ++i) (records - gap)[i].index -= recordShift;
  for (size_t i = 0; i < part.records * perRecord; ++i) {
    PricePoint& point = (points - gap * perRecord)[i];
    point.index -= pointShift;
    point.recordIndex -= recordShift;
  }
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

void fullConversion(TickIntake& intake, std::string_view text, bool expand,
                    const ConsolePort& console, unsigned threads) {
  std::vector<Part> parts = cutIntoParts(text, std::max(1u, threads));
  onEveryPart(parts, [](Part& part, size_t) {
    part.lineEnds = countLineEnds(part.text);
    part.slots = part.lineEnds + (part.last ? 1 : 0);
  });
  // The progress total is the number of pieces minus one: the line ends.
  size_t lineEnds = 0, slots = 0;
  for (Part& part : parts) {
    part.firstSlot = slots;
    slots += part.slots;
    lineEnds += part.lineEnds;
  }

  // Room for every line and a quarter more for the bars that later
  // refreshes add. Room never written stays virtual.
  const size_t perRecord = expand ? 3 : 1;
  const size_t recordBase = intake.recordList.size(), pointBase = intake.pointList.size();
  intake.recordList.reserve(recordBase + slots + slots / 4);
  intake.pointList.reserve(pointBase + (slots + slots / 4) * perRecord);
  adviseLargePages(intake.recordList.data(), intake.recordList.capacity() * sizeof(PriceRecord));
  adviseLargePages(intake.pointList.data(), intake.pointList.capacity() * sizeof(PricePoint));
  intake.recordList.resize(recordBase + slots);
  intake.pointList.resize(pointBase + slots * perRecord);
  const Lists lists{intake.recordList.data() + recordBase, intake.pointList.data() + pointBase,
                    static_cast<int32_t>(recordBase), static_cast<int32_t>(pointBase), perRecord};
  try {
    onEveryPart(parts, [&](Part& part, size_t i) {
      if (i == 0) {
        // The first part's numbers are final: its progress shows as it goes.
        readPart(part, intake.texts, lists, expand,
                 [&](int32_t index) { printProgress(console, index, lineEnds); });
      } else {
        readPart(part, part.texts, lists, expand, [](int32_t) {});
      }
    });
  } catch (...) {
    intake.recordList.resize(recordBase);
    intake.pointList.resize(pointBase);
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
  intake.pointList.resize(pointBase + (slots - gap) * perRecord);
  setBatch(intake, pointBase);
}

}  // namespace tavelund
