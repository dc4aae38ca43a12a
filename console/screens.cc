#include "console/screens.h"

#include <string_view>
#include <vector>

#include "common/screen_text.h"

namespace tavelund {
namespace {

const char* const kLargeBanner[] = {
    "    ######   ######   #######   #####    #####       #     #",
    "    #     #  #     #  #        #     #  #     #      #     #",
    "    #     #  #     #  #        #        #            #     #",
    "    ######   ######   #####     #####    #####       #     #",
    "    #        #   #    #              #        #      #     #",
    "    #        #    #   #        #     #  #     #      #     #",
    "    #        #     #  #######   #####    #####        ##### ",
};

const char* const kSmallBanner[] = {
    "   #####   #####   #####   ####    ####     #    #",
    "   #    #  #    #  #      #    #  #    #    #    #",
    "   #    #  #    #  #      #       #         #    #",
    "   #####   #####   ####    ####    ####     #    #",
    "   #       #  #    #           #       #    #    #",
    "   #       #   #   #      #    #  #    #    #    #",
    "   #       #    #  #####   ####    ####      #### ",
};

void line(std::ostream& out, const std::string& text = {}) { out << text << std::endl; }

template <size_t N>
void banner(std::ostream& out, const char* const (&lines)[N]) {
  for (const char* text : lines) line(out, text);
}

}  // namespace

std::string chartTitle(const ChartTitle& title) {
  return " " + title.symbol + " (" + title.timeSpanLabel + ")";
}

std::string headerLine(const std::string& sendTime, const ChartTitle& title, size_t columns) {
  constexpr std::string_view kStart = "UPDATE >> ";
  constexpr std::string_view kBetween = "    ";  // the three blanks and the title's own
  const std::string labelPart = " (" + screenText(title.timeSpanLabel) + ")";
  const size_t fixed = kStart.size() + kBetween.size() + labelPart.size();
  const std::vector<std::string> shown =
      screenTextsWithin({sendTime, title.symbol}, columns > fixed ? columns - fixed : 0);
  return std::string(kStart) + shown[0] + std::string(kBetween) + shown[1] + labelPart;
}

namespace {

// The PRESS U banner between empty lines and the closing rule that end the
// keyboard help and the save screen.
void writeLargeBannerFooter(std::ostream& out) {
  line(out);
  line(out);
  banner(out, kLargeBanner);
  line(out);
  line(out);
  line(out, screenRule());
}

}  // namespace

void writeKeyboardHelp(std::ostream& out) {
  line(out);
  line(out, screenRule());
  line(out);
  line(out);
  line(out, "         COMMAND HELP");
  line(out);
  line(out, "         'u'          Key  : View Update");
  line(out, "         'l'          Key  : Log");
  line(out, "         'h'          Key  : Help");
  line(out, "         's'          Key  : Save");
  line(out);
  line(out, "         'UP RIGHT    Key' : Candle Stick One Line Future");
  line(out, "         'DOWN LEFT   Key' : Candle Stick One Line Past");
  line(out);
  line(out, "         'PAGEUP      Key' : Scroll Up To Future");
  line(out, "         'PAGEDOWN    Key' : Scroll Down To Past");
  line(out, "         'HOME        Key' : Latest");
  line(out, "         'END         Key' : Oldest");
  line(out);
  line(out);
  line(out, screenRule());
  writeLargeBannerFooter(out);
}

void writeJoystickHelp(std::ostream& out) {
  line(out, screenRule());
  line(out);
  line(out);
  line(out, "         COMMAND HELP");
  line(out);
  line(out, "         '1'         Key  : View Update");
  line(out, "         '2'         Key  : Latest");
  line(out, "         '3'         Key  : Help");
  line(out);
  line(out, "         'UP  RIGHT  Key' : Candle Stick One Line Future");
  line(out, "         'DOWN LEFT  Key' : Candle Stick One Line Past");
  line(out);
  line(out);
  line(out, screenRule());
}

void writeSmallBanner(std::ostream& out) { banner(out, kSmallBanner); }

void writeLogScreen(std::ostream& out, const RunLog& log, size_t columns) {
  line(out, screenRule());
  line(out);
  line(out);
  banner(out, kSmallBanner);
  line(out);
  line(out);
  line(out, screenRule());
  line(out);
  for (auto entry = log.rbegin(); entry != log.rend(); ++entry) {
    // Entries hold the link's texts as they came (symbol, send time, lines).
    line(out, screenTextWithin(entry->timeText + "  " + entry->message, columns));
  }
  line(out);
  line(out, screenRule());
}

void writeSaveScreenTop(std::ostream& out) {
  line(out, screenRule());
  line(out);
  line(out, "    Data SAVE : 's' Key ");
  line(out);
}

void writeSaveScreenBottom(std::ostream& out) {
  line(out);  // closes any line the save left open
  line(out, screenRule());
  writeLargeBannerFooter(out);
}

void writeDriverBlock(std::ostream& out) {
  line(out);
  line(out);
  line(out, screenRule());
  line(out);
  line(out);
  line(out, "     Check MT5 -> DRIVER DOES NOT LOADED!!!");
  line(out);
  line(out, "     EXIT : ");
  line(out);
  line(out);
  line(out, "     Press Any Key...");
  line(out);
  line(out, screenRule());
}

}  // namespace tavelund
