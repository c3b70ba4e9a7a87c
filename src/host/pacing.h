// The arithmetic of the host loop, kept apart from the window system so that
// it can be checked on its own: how long a step sleeps, how many frames it
// runs, and when the on-screen message is drawn.
#pragma once

// A host step targets 16 ms; once a step has taken more than 15 ms it does
// not sleep at all (a game that cannot keep up runs slower, it never catches
// up).
constexpr long long host_period_ms = 16;
constexpr long long host_no_sleep_after_ms = 15;

// Milliseconds to sleep after a step that took elapsed_ms (truncated).
constexpr long long pacing_sleep_ms(long long elapsed_ms) {
  if (elapsed_ms < 0)
    elapsed_ms = 0;
  return elapsed_ms <= host_no_sleep_after_ms ? host_period_ms - elapsed_ms : 0;
}

// Extra frames a game step runs: fast-forward (V held) runs nine frames per
// step instead of one.
constexpr int fast_forward_extra_frames = 8;
constexpr int game_extra_frames(bool fast_forward) {
  return fast_forward ? fast_forward_extra_frames : 0;
}

// A presented game frame shows the message while its count is 1 or more and
// counts it down by one; returns whether the message is drawn on this frame.
constexpr bool take_message_frame(int& message_frames) {
  if (message_frames <= 0)
    return false;
  message_frames -= 1;
  return true;
}

// The gallery draws the message while the count is above 0 and leaves the
// counting to the gallery step.
constexpr bool gallery_shows_message(int message_frames) {
  return message_frames > 0;
}

// The picture area follows the window's size; a zero width or height (a
// minimised window) keeps the last size. Returns whether the size changed.
constexpr bool follow_viewport(int& viewport_width, int& viewport_height, int width, int height) {
  if (width <= 0 || height <= 0)
    return false;
  viewport_width = width;
  viewport_height = height;
  return true;
}
