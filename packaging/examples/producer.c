// A producer of your own: publish two daily bars, then answer each request
// of the viewer (U) with a fresh batch. Build: cc producer.c $(pkg-config --cflags --libs tickwell)
#include <tickwell.h>
#include <unistd.h>

int main(void) {
  if (!preInitSendticksMT5()) return 1;  // a viewer or another producer holds the channels
  initSendticksMT5();
  int d1 = 16408, done = 1;
  setsymbolcMT5("MYSYMBOL");
  settimespanMT5(&d1);
  for (;;) {
    lineSendTimeLineMT5(2024, 3, 4, 0, 0, 0, 0, 100.0, 102.5, 99.0, 101.5);  // oldest first
    lineSendTimeLineMT5(2024, 3, 5, 0, 0, 0, 0, 101.5, 104.0, 101.0, 103.0);
    completeSendticksMT5();
    setsendtimeNowMT5();
    setsendcheckMT5(&done);                         // only after the whole batch
    while (getSendCheckMT5() != 0) usleep(20000);  // the viewer writes 0 to ask again
  }
}
