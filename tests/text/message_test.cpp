// The on-screen message: formatting with a bound, the 5x5 font and the layout
// of the text in the 256 x 240 RGBA image.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "text/message.h"

namespace {

constexpr int glyph_size = 5;
constexpr int glyph_advance = 6;

const u8* texel(const std::vector<u8>& image, int x, int y) {
  return &image[(static_cast<size_t>(y) * message_image_width + x) * 4];
}

bool is_lit(const std::vector<u8>& image, int x, int y) {
  const u8* t = texel(image, x, y);
  return t[0] == 255 && t[1] == 255 && t[2] == 255 && t[3] == 255;
}

bool is_clear(const std::vector<u8>& image, int x, int y) {
  const u8* t = texel(image, x, y);
  return t[0] == 0 && t[1] == 0 && t[2] == 0 && t[3] == 0;
}

// The 5 x 5 cells whose top-left texel is (x, y), as five rows of # and .
std::string cells_at(const std::vector<u8>& image, int x, int y) {
  std::string rows;
  for (int row = 0; row < glyph_size; ++row) {
    if (row > 0)
      rows += ' ';
    for (int column = 0; column < glyph_size; ++column)
      rows += is_lit(image, x + column, y + row) ? '#' : '.';
  }
  return rows;
}

// The cells of the glyph at position index on the message line.
std::string glyph_on_line(const std::vector<u8>& image, int index) {
  return cells_at(image, message_pen_x + index * glyph_advance, message_pen_y);
}

std::string table_glyph(unsigned char code) {
  std::string rows;
  for (int row = 0; row < glyph_size; ++row) {
    if (row > 0)
      rows += ' ';
    for (int column = 0; column < glyph_size; ++column)
      rows += font_5x5[code - 32][row * glyph_size + column] ? '#' : '.';
  }
  return rows;
}

const std::string blank = "..... ..... ..... ..... .....";

struct LitBox {
  int count = 0;
  int min_x = message_image_width, min_y = message_image_height, max_x = -1, max_y = -1;
};

// Every texel must be either lit or fully clear; returns the box around the
// lit ones.
LitBox lit_box(const std::vector<u8>& image) {
  LitBox box;
  for (int y = 0; y < message_image_height; ++y) {
    for (int x = 0; x < message_image_width; ++x) {
      if (is_lit(image, x, y)) {
        ++box.count;
        box.min_x = std::min(box.min_x, x);
        box.min_y = std::min(box.min_y, y);
        box.max_x = std::max(box.max_x, x);
        box.max_y = std::max(box.max_y, y);
      } else {
        EXPECT_TRUE(is_clear(image, x, y)) << "texel (" << x << ", " << y << ") is neither lit nor clear";
      }
    }
  }
  return box;
}

struct GlyphCase {
  char character;
  const char* rows;
};

// Shapes as drawn in the font's design, row 1 at the top.
const GlyphCase glyph_cases[] = {
    {'!', "..#.. ..#.. ..#.. ..... ..#.."},  {'&', ".#... #.#.. .#.#. #.#.. .#.#."},
    {'\'', "..##. ...#. ..#.. ..... ....."}, {',', "..... ..... ..##. ...#. ..#.."},
    {'.', "..... ..... ..... ..##. ..##."},  {'0', ".###. #..## #.#.# ##..# .###."},
    {'4', "..##. .#.#. #..#. ##### ...#."},  {'9', ".###. #...# .#### ....# ..##."},
    {':', "..##. ..##. ..... ..##. ..##."},  {'G', ".###. #.... #.### #...# .###."},
    {'J', "..### ...#. ...#. #..#. .##.."},  {'M', "#...# ##.## #.#.# #...# #...#"},
    {'Q', ".###. #...# #.#.# #..## .####"},  {'S', ".###. #.... .###. ....# .###."},
    {'W', "#...# #...# #.#.# ##.## #...#"},  {'Z', "##### ...#. ..#.. .#... #####"},
};

TEST(Font5x5, GlyphsHaveTheirDesignedShapes) {
  for (const GlyphCase& c : glyph_cases) {
    EXPECT_EQ(table_glyph(static_cast<unsigned char>(c.character)), c.rows)
        << "glyph '" << c.character << "'";
    std::vector<u8> image = render_message_image(std::string(1, c.character));
    EXPECT_EQ(glyph_on_line(image, 0), c.rows) << "drawn '" << c.character << "'";
  }
}

TEST(Font5x5, OnlyPunctuationDigitsAndCapitalsHaveShapes) {
  const std::string shaped = "!&'(),-.0123456789:ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (int code = 32; code < 256; ++code) {
    bool has_shape = shaped.find(static_cast<char>(code)) != std::string::npos;
    int lit = 0;
    for (int cell = 0; cell < 25; ++cell) {
      EXPECT_LE(font_5x5[code - 32][cell], 1) << "code " << code;
      lit += font_5x5[code - 32][cell];
    }
    if (has_shape)
      EXPECT_GT(lit, 0) << "code " << code << " should have a shape";
    else
      EXPECT_EQ(lit, 0) << "code " << code << " should be blank";
  }
}

TEST(MessageImage, SavedStateShowsCapitalsWithFirstGlyphAtPenStart) {
  std::string text = format_message("Saved State %d", 2);
  ASSERT_EQ(text, "Saved State 2");
  std::vector<u8> image = render_message_image(text);
  const std::string expected = "SAVED STATE 2";
  for (size_t i = 0; i < expected.size(); ++i) {
    std::string want = expected[i] == ' ' ? blank : table_glyph(static_cast<unsigned char>(expected[i]));
    EXPECT_EQ(glyph_on_line(image, static_cast<int>(i)), want) << "glyph " << i;
  }
  // S's top row is .###. and its second row starts lit: the glyph's cell
  // (0, 0) is texel (16, 224).
  EXPECT_TRUE(is_clear(image, 16, 224));
  EXPECT_TRUE(is_lit(image, 17, 224));
  EXPECT_TRUE(is_lit(image, 16, 225));
  LitBox box = lit_box(image);
  EXPECT_EQ(box.min_x, 16);
  EXPECT_EQ(box.min_y, 224);
  EXPECT_EQ(box.max_y, 228);
  EXPECT_EQ(box.max_x, 16 + 12 * glyph_advance + 4);  // the 2 ends with a full row
}

TEST(MessageImage, LowerCaseDrawsTheCapitalGlyphs) {
  for (char c = 'a'; c <= 'z'; ++c) {
    char upper = static_cast<char>(c - 'a' + 'A');
    EXPECT_EQ(render_message_image(std::string(1, c)), render_message_image(std::string(1, upper)))
        << "letter " << c;
  }
  EXPECT_EQ(render_message_image("Loaded SRAM"), render_message_image("LOADED SRAM"));
}

struct AdvanceCase {
  std::string text;
  int index_of_a;  // where the A must be drawn
};

TEST(MessageImage, BlankAndUnshapedCharactersStillAdvanceThePen) {
  const AdvanceCase cases[] = {
      {"A", 0},
      {" A", 1},
      {"/_A", 2},
      {"\tA", 1},                  // control codes are blank
      {std::string("\0A", 2), 1},  // even a NUL byte inside the text
      {"\xC3\xA9\x41", 2},         // codes above 127 have no shapes
      {"{}|~A", 4},
  };
  const std::string a = table_glyph('A');
  for (const AdvanceCase& c : cases) {
    std::vector<u8> image = render_message_image(c.text);
    EXPECT_EQ(glyph_on_line(image, c.index_of_a), a) << "text of " << c.text.size() << " bytes";
    LitBox box = lit_box(image);
    EXPECT_EQ(box.count, 14) << "only the A is lit";  // .###. #...# ##### #...# #...#
    EXPECT_EQ(box.min_x, message_pen_x + c.index_of_a * glyph_advance);
  }
}

TEST(MessageImage, EmptyTextGivesAnEmptyImage) {
  std::vector<u8> image = render_message_image("");
  ASSERT_EQ(image.size(), static_cast<size_t>(message_image_bytes));
  EXPECT_EQ(lit_box(image).count, 0);
  EXPECT_EQ(render_message_image("   "), image);
}

TEST(MessageImage, LongTextStaysOnItsLine) {
  // 300 W's: the 40th glyph ends at texel 254; nothing may reach the next
  // texel rows or wrap to the left edge.
  std::vector<u8> image = render_message_image(std::string(300, 'W'));
  LitBox box = lit_box(image);
  EXPECT_EQ(box.min_x, message_pen_x);
  EXPECT_EQ(box.max_x, 254);
  EXPECT_EQ(box.min_y, message_pen_y);
  EXPECT_EQ(box.max_y, message_pen_y + 4);
  EXPECT_EQ(glyph_on_line(image, message_max_glyphs - 1), table_glyph('W'));
  EXPECT_EQ(box.count, message_max_glyphs * 13);  // 13 lit cells per W
}

TEST(MessageImage, EveryByteValueStaysOnTheLine) {
  // Whatever bytes a file name holds, only the 40 cells of the line change.
  for (int code = 0; code < 256; ++code) {
    std::vector<u8> image = render_message_image(std::string(60, static_cast<char>(code)));
    LitBox box = lit_box(image);
    if (box.count == 0)
      continue;
    EXPECT_GE(box.min_x, message_pen_x) << "code " << code;
    EXPECT_LE(box.max_x, 254) << "code " << code;
    EXPECT_GE(box.min_y, message_pen_y) << "code " << code;
    EXPECT_LE(box.max_y, message_pen_y + 4) << "code " << code;
  }
}

TEST(FormatMessage, ClipsToTheGlyphsThatFit) {
  std::string text = format_message("%s", std::string(100, 'X').c_str());
  EXPECT_EQ(text, std::string(message_max_glyphs, 'X'));
  EXPECT_EQ(format_message("Saved State %d", 4), "Saved State 4");
  EXPECT_EQ(format_message("%s", ""), "");
}

TEST(FormatMessage, LongArgumentsAreBounded) {
  // Far longer than any buffer the formatter could keep: must be cut, not
  // overrun.
  std::string huge(100000, 'n');
  std::string text = format_message("Unsupported Mapper: %02X %s %s", 5, huge.c_str(), huge.c_str());
  EXPECT_EQ(text.size(), static_cast<size_t>(message_max_glyphs));
  EXPECT_EQ(text.substr(0, 23), "Unsupported Mapper: 05 ");
}

TEST(FormatMessage, LongLiteralFormatIsBounded) {
#define CORVEL_SIXTY_CHARS "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz01234567"
  std::string text = format_message(CORVEL_SIXTY_CHARS CORVEL_SIXTY_CHARS CORVEL_SIXTY_CHARS
                                        CORVEL_SIXTY_CHARS CORVEL_SIXTY_CHARS CORVEL_SIXTY_CHARS);
#undef CORVEL_SIXTY_CHARS
  EXPECT_EQ(text, "abcdefghijklmnopqrstuvwxyzabcdefghijklmn");
}

TEST(OnScreenMessage, SetMessageRendersAndRestartsTheCount) {
  OnScreenMessage message;
  EXPECT_EQ(message.message_frames, 0);
  set_message(message, "Loaded State 1");
  EXPECT_EQ(message.message_frames, message_show_frames);
  EXPECT_TRUE(message.image_changed);
  EXPECT_EQ(message.text, "Loaded State 1");
  EXPECT_EQ(message.image, render_message_image("Loaded State 1"));

  // A second message replaces the first and counts from 120 again.
  message.message_frames = 7;
  message.image_changed = false;
  set_message(message, "Saved State 3");
  EXPECT_EQ(message.message_frames, message_show_frames);
  EXPECT_TRUE(message.image_changed);
  EXPECT_EQ(message.image, render_message_image("Saved State 3"));
}

TEST(OnScreenMessage, EmptyMessageClearsTheTextAndStillCounts) {
  OnScreenMessage message;
  set_message(message, "Loaded SRAM");
  message.message_frames = 3;
  message.image_changed = false;
  set_message(message, "");
  EXPECT_EQ(message.message_frames, message_show_frames);
  EXPECT_TRUE(message.image_changed);
  EXPECT_EQ(lit_box(message.image).count, 0);
}

class RecordingPlatform : public NullPlatform {
 public:
  void show_message(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

TEST(ShowMessage, HandsTheFormattedTextToThePlatform) {
  RecordingPlatform platform;
  show_message(&platform, "Unable to Load State %d", 3);
  show_message(&platform, "%s", std::string(500, 'z').c_str());
  ASSERT_EQ(platform.shown.size(), 2u);
  EXPECT_EQ(platform.shown[0], "Unable to Load State 3");
  EXPECT_EQ(platform.shown[1], std::string(message_max_glyphs, 'z'));
  show_message(nullptr, "nobody listens %d", 1);  // no platform: nothing happens
}

}  // namespace
