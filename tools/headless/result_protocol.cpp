#include "result_protocol.h"

#include "core/console.h"

namespace {

bool result_area_valid(const Console& console) {
  const u8* m = console.memory.get();
  return m[0x6001] == 0xDE && m[0x6002] == 0xB0 && m[0x6003] == 0x61;
}

}  // namespace

void watch_result(Console& console, ResultWatch& watch) {
  // A write of $80 means running, also when the status has moved on since,
  // and cancels a reset the program asked for before it. So does $80 found
  // at the end of a frame (a run resumed from a saved state).
  const bool running_now = result_area_valid(console) && console.memory[0x6000] == 0x80;
  if (console.result_running_writes != watch.running_writes || running_now) {
    watch.running_writes = console.result_running_writes;
    watch.seen_running = true;
    watch.reset_done = false;
    watch.reset_countdown = -1;
  }
  if (!watch.seen_running || !result_area_valid(console))
    return;
  u8 status = console.memory[0x6000];
  if (status == 0x81) {
    // The program asks to be reset: wait a few frames, reset once, then wait
    // for the status to leave $81.
    if (watch.reset_done)
      return;
    if (watch.reset_countdown < 0)
      watch.reset_countdown = result_reset_delay_frames;
    if (--watch.reset_countdown <= 0) {
      console.reset_pending = 1;
      watch.reset_done = true;
      watch.reset_countdown = -1;
    }
    return;
  }
  if (status < 0x80) {
    watch.finished = true;
    watch.status = status;
  }
}

std::string result_text(const Console& console) {
  std::string text;
  for (int address = 0x6004; address < 0x8000; address++) {
    char ch = static_cast<char>(console.memory[address]);
    if (ch == '\0')
      break;
    text.push_back(ch);
  }
  return text;
}
