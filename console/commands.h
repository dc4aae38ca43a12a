#pragma once
// The command characters that travel through the command cell from the
// input thread (keys, controller) and the size watch to the view thread.
// The values are fixed: keyboard and controller share the cell, and case
// matters ('u' is the U key's refresh, 'U' the controller pushed up; 'l' the
// log, 'L' the controller pushed left).
namespace tavelund::command {

// Keyboard.
inline constexpr char kRefresh = 'u';          // U; also the cell's first value
inline constexpr char kLog = 'l';              // L
inline constexpr char kHelp = 'h';             // H
inline constexpr char kSave = 's';             // S
inline constexpr char kNewest = '0';           // HOME
inline constexpr char kOldest = '5';           // END
inline constexpr char kLineFutureRight = '6';  // RIGHT
inline constexpr char kLineFutureUp = '8';     // UP
inline constexpr char kLinePastDown = '2';     // DOWN
inline constexpr char kLinePastLeft = '4';     // LEFT
inline constexpr char kPageFuture = '+';       // PAGE UP
inline constexpr char kPagePast = '-';         // PAGE DOWN
inline constexpr char kLiveToggle = 'a';       // A: the live view on or off
inline constexpr char kAnalysis = 'P';         // P: the analysis screen
inline constexpr char kTrendLine = 'T';        // T: the trend line over the chart on or off
inline constexpr char kBellToggle = 'b';       // B: the live view's alert bell muted or not

// Controller.
inline constexpr char kControllerRefresh = 'X';      // button 1
inline constexpr char kControllerNewest = 'Y';       // button 2
inline constexpr char kControllerHelp = 'Z';         // button 3
inline constexpr char kControllerFutureRight = 'R';  // stick right
inline constexpr char kControllerFutureUp = 'U';     // stick up
inline constexpr char kControllerPastDown = 'D';     // stick down
inline constexpr char kControllerPastLeft = 'L';     // stick left
inline constexpr char kControllerNeutral = 'N';      // centred, no button: nothing

// The viewer itself.
inline constexpr char kRedraw = 'r';  // the size watch, after a re-layout
inline constexpr char kNone = 'n';    // the view thread, after each command
inline constexpr char kQuit = 'q';    // a lost controller, just before the end; never executed

}  // namespace tavelund::command
