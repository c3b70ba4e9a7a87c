// Paths the desktop shell gets from the desktop or makes for it: the image a
// file manager dropped on the window, and the name of the next screenshot.
#pragma once

#include <string>

// The text of a drop: a text/uri-list (file:// URIs, percent-encoded, one per
// line, lines ending in CRLF) or plain paths, one per line. Returns the path
// of the first entry whose name ends in ".nes" (in any case), or an empty
// string when there is none. URIs of other schemes or other hosts are passed
// over.
std::string path_from_dropped_text(const std::string& text);

// The screenshot of the image at rom_path goes into folder as
// "<image file name cut at its last dot>-NNN.png", NNN the first number from
// 001 whose file does not exist yet.
std::string next_screenshot_path(const std::string& folder, const std::string& rom_path);
