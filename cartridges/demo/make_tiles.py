#!/usr/bin/env python3
"""Draws the demo cartridge's pictures and writes them as NES data.

Run once after changing the art; the outputs are checked in, so building the
cartridge needs only ca65:

    python3 cartridges/demo/make_tiles.py

Outputs, next to this script:
    demo.chr      16 KB of pattern ROM: four 4 KB banks
                  0  background tiles, animation frame A
                  1  background tiles, animation frame B (grass and water move)
                  2  sprite tiles
                  3  a copy of bank 2
    screens.inc   the title screen (PRG bank 0) and the two playfield
                  nametables (PRG bank 2), as ca65 .byte tables (1024 bytes
                  each, attributes included)
and, in ../../data, the program's icon drawn from the raven sprite
(corvel-32.png, corvel-64.png).

A tile is written as eight strings of eight characters; '.' is colour 0
(transparent), '1', '2' and '3' are the colours of the tile's palette.
"""

import os
import random
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def parse(rows):
    """A list of strings -> a list of rows of colour numbers 0-3."""
    return [[0 if c == "." else int(c) for c in row] for row in rows]


def encode_tile(pixels):
    """8x8 colour numbers -> the 16 bytes of one NES tile (two bit planes)."""
    low, high = [], []
    for row in pixels:
        lo = hi = 0
        for c in row:
            lo = (lo << 1) | (c & 1)
            hi = (hi << 1) | ((c >> 1) & 1)
        low.append(lo)
        high.append(hi)
    return bytes(low + high)


def cut(picture, x, y):
    """The 8x8 tile whose top-left pixel is (x, y) in a picture (list of rows)."""
    return [row[x : x + 8] for row in picture[y : y + 8]]


class Table:
    """A 256-tile pattern table filled by name or by first free slot."""

    def __init__(self):
        self.tiles = [None] * 256
        self.index = {}
        self.next_free = 0x80

    def put(self, number, pixels):
        self.tiles[number] = encode_tile(pixels)

    def add(self, pixels):
        """Stores a tile in the next free slot unless an equal one exists."""
        data = encode_tile(pixels)
        if data in self.index:
            return self.index[data]
        while self.tiles[self.next_free] is not None:
            self.next_free += 1
        number = self.next_free
        self.tiles[number] = data
        self.index[data] = number
        return number

    def remember(self):
        for number, data in enumerate(self.tiles):
            if data is not None and data not in self.index:
                self.index[data] = number

    def bytes(self):
        return b"".join(t if t is not None else bytes(16) for t in self.tiles)


# ---------------------------------------------------------------------------
# Font: 5x7 glyphs, drawn in colour 2 on a colour 1 box, at the ASCII codes
# of the characters so that ca65 strings can be written to the screen as
# they are.
GLYPHS = {
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "..##.", ".#...", "#....", "#####"],
    "3": ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": [".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    "-": [".....", ".....", ".....", ".###.", ".....", ".....", "....."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    ":": [".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."],
    "'": ["..#..", "..#..", ".#...", ".....", ".....", ".....", "....."],
    "?": [".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."],
    "/": ["....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."],
    # A heart for the lives counter and a small raven head, at codes $5B, $5C.
    "[": [".....", ".#.#.", "#####", "#####", ".###.", "..#..", "....."],
    "\\": [".##..", "####.", "#.###", "#####", ".###.", "..#..", "....."],
}


def glyph_tile(ch, box=True):
    rows = GLYPHS[ch]
    pixels = [[1 if box else 0] * 8 for _ in range(8)]
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c == "#":
                pixels[y][x + 1] = 2
    return pixels


def solid(colour):
    return [[colour] * 8 for _ in range(8)]


# ---------------------------------------------------------------------------
# Landscape tiles (background). Palettes used by the playfield:
#   0 status bar: black box, white text, gold border
#   1 sky things: white, pale blue, deep blue (clouds, mountains, water)
#   2 forest and grass: light, middle and dark green
#   3 earth: light, middle and dark brown

# The status bar's bottom edge: its first line is opaque (the sprite-zero hit
# line), then a gold rule, then sky. It is the same in every column, so the
# scroll split that happens on these lines never shows.
STATUS_EDGE = parse([
    "11111111",
    "33333333",
    "33333333",
    "11111111",
    "........",
    "........",
    "........",
    "........",
])

CLOUD_A = [
    "................................",
    "..........1111..................",
    "........11111111.....111........",
    "......111111111111..1111111.....",
    "....11111111111111111111111111..",
    "..1111111111111111111111111111..",
    ".111111111111111111111111111111.",
    "1111111111111111111111111111111.",
    "1111111111111111111111111111111.",
    "2111111111111111111111111111112.",
    ".22111111111111111111111111122..",
    "..2222222222222222222222222222..",
    "................................",
    "................................",
    "................................",
    "................................",
]

CLOUD_B = [
    "........................",
    "........................",
    "........................",
    "........111.............",
    "......1111111..11.......",
    "....11111111111111111...",
    "..111111111111111111111.",
    "211111111111111111111112",
    ".2221111111111111111122.",
    "....22222222222222222...",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
    "........................",
]

# Mountain slopes: colour 3 body, colour 2 lit edge, colour 1 snow.
SLOPE_UP = parse([
    ".......2",
    "......23",
    ".....233",
    "....2333",
    "...23333",
    "..233333",
    ".2333333",
    "23333333",
])
SLOPE_DOWN = parse([
    "3.......",
    "33......",
    "333.....",
    "3333....",
    "33333...",
    "333333..",
    "3333333.",
    "33333333",
])
SNOW_UP = parse([
    ".......1",
    "......11",
    ".....111",
    "....1111",
    "...11133",
    "..213333",
    ".2333333",
    "23333333",
])
SNOW_DOWN = parse([
    "1.......",
    "11......",
    "111.....",
    "1111....",
    "31131...",
    "333333..",
    "3333333.",
    "33333333",
])
ROCK = parse([
    "33333333",
    "33333333",
    "33323333",
    "33333333",
    "33333333",
    "33333323",
    "33333333",
    "33333333",
])
ROCK_PLAIN = solid(3)

# Forest band: rounded tree tops in three greens.
TREE_LEFT = parse([
    "33333311",
    "33331122",
    "33312222",
    "33122222",
    "31222222",
    "31222222",
    "12222222",
    "12222222",
])
TREE_RIGHT = parse([
    "11333333",
    "22113333",
    "22223333",
    "22222333",
    "22222233",
    "22222233",
    "22222233",
    "22222233",
])
FOREST = parse([
    "22222333",
    "22223333",
    "22333323",
    "33332222",
    "33322222",
    "33222223",
    "32222233",
    "22223333",
])
FOREST_DARK = parse([
    "33333333",
    "33323333",
    "33333333",
    "33333233",
    "33333333",
    "32333333",
    "33333333",
    "33333333",
])

GRASS_A = parse([
    "..1....1",
    ".11..1.1",
    ".12.11.2",
    "112.12.2",
    "12221222",
    "22222222",
    "22232222",
    "22222222",
])
GRASS_B = parse([
    ".1....1.",
    "11...1.1",
    "12..11.2",
    "12.12.22",
    "22212222",
    "22222222",
    "22232222",
    "22222222",
])
SOIL = parse([
    "22222222",
    "22322222",
    "32232233",
    "33333333",
    "33313333",
    "33333333",
    "31333313",
    "33333333",
])

WATER_A = parse([
    "22333333",
    "33223333",
    "33332233",
    "33333322",
    "33333333",
    "33133333",
    "33333333",
    "33333333",
])
WATER_B = parse([
    "33333322",
    "33332233",
    "33223333",
    "22333333",
    "33333333",
    "33333333",
    "33333133",
    "33333333",
])
BANK = parse([
    "12121212",
    "21212121",
    "22222222",
    "22322222",
    "22222232",
    "22222222",
    "23222222",
    "22222222",
])
EARTH = parse([
    "22222222",
    "22232222",
    "22222222",
    "22222232",
    "23222222",
    "22222222",
    "22221222",
    "22222222",
])
EARTH_STONE = parse([
    "22222222",
    "22111222",
    "21111322",
    "21113322",
    "22333222",
    "22222222",
    "22222223",
    "22222222",
])

# The title logo: big letters of 4x4-pixel blocks, eight blocks wide and
# ten high, so 4x5 tiles per letter. Gold with a white top edge and a black
# outline.
LOGO_LETTERS = {
    "C": [
        "..#####.",
        ".#######",
        "###...##",
        "###.....",
        "###.....",
        "###.....",
        "###.....",
        "###...##",
        ".#######",
        "..#####.",
    ],
    "O": [
        "..####..",
        ".######.",
        "###..###",
        "###..###",
        "###..###",
        "###..###",
        "###..###",
        "###..###",
        ".######.",
        "..####..",
    ],
    "R": [
        "######..",
        "#######.",
        "###..###",
        "###..###",
        "#######.",
        "######..",
        "###.###.",
        "###..###",
        "###..###",
        "###..###",
    ],
    "V": [
        "###..###",
        "###..###",
        "###..###",
        "###..###",
        "###..###",
        "###..###",
        ".######.",
        ".######.",
        "..####..",
        "...##...",
    ],
    "E": [
        "########",
        "########",
        "###.....",
        "###.....",
        "#######.",
        "#######.",
        "###.....",
        "###.....",
        "########",
        "########",
    ],
    "L": [
        "###.....",
        "###.....",
        "###.....",
        "###.....",
        "###.....",
        "###.....",
        "###.....",
        "###.....",
        "########",
        "########",
    ],
}


def logo_picture(word):
    """The logo as a picture: 4 tiles per letter plus one tile of space."""
    width = len(word) * 40 - 8 + 16
    height = 48
    fill = [[0] * width for _ in range(height)]
    for i, ch in enumerate(word):
        for by, row in enumerate(LOGO_LETTERS[ch]):
            for bx, c in enumerate(row):
                if c != "#":
                    continue
                for y in range(4):
                    for x in range(4):
                        fill[4 + by * 4 + y][8 + i * 40 + bx * 4 + x] = 1
    pic = [[0] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            if fill[y][x]:
                above = y > 0 and fill[y - 1][x]
                above2 = y > 1 and fill[y - 2][x]
                pic[y][x] = 3 if (above and above2) else 2
            else:
                near = any(
                    0 <= y + dy < height and 0 <= x + dx < width and fill[y + dy][x + dx]
                    for dy in (-1, 0, 1, 2)
                    for dx in (-1, 0, 1, 2)
                )
                pic[y][x] = 1 if near else 0
    return pic


# ---------------------------------------------------------------------------
# Sprites (pattern table at $1000). Palettes:
#   0 raven: black, blue sheen, gold beak and eye
#   1 feather shots and puffs: white, orange, red
#   2 bats: dark red, red, white
#   3 gems: cyan, teal, white

RAVEN_UP = [
"................",
".111............",
".12211..........",
"..122211........",
"...1222211......",
"....12222211....",
".....1222211.11.",
"......1221111131",
"..1111111111133.",
".11.111111111...",
"1111.1111111....",
"1..1..11111.....",
"........3.3.....",
"................",
"................",
"................",
]
RAVEN_DOWN = [
"................",
"................",
"................",
"................",
"............11..",
"...........11131",
"..11111111111333",
".11.11111111111.",
"1111.112221111..",
"1..1..1222211...",
"......122221....",
".....12221......",
"....1221........",
"...111..3.3.....",
"................",
"................",
]
RAVEN_DASH = [
"................",
"................",
"................",
"................",
"................",
"............11..",
"1..........11131",
".111111111111333",
"11112222222111..",
"1..111111111....",
"................",
"................",
"................",
"................",
"................",
"................",
]
BAT_UP = [
    "................",
    "1..............1",
    "11............11",
    "121....11....121",
    "1221..1221..1221",
    "12221.1111.12221",
    "122221333312221.",
    ".12222131312221.",
    "..1222111112221.",
    "...12211111221..",
    "....11.1111.1...",
    ".......1..1.....",
    "................",
    "................",
    "................",
    "................",
]
BAT_DOWN = [
    "................",
    "................",
    "................",
    ".......11.......",
    "......1221......",
    "......1111......",
    ".....13333......",
    "..111.1313.111..",
    ".12221111112221.",
    "1222221111222221",
    "122221.11.122221",
    "12221...1..12221",
    "1221........1221",
    "121..........121",
    "11............11",
    "................",
]
GEM_A = [
    "................",
    "................",
    "....11111111....",
    "...1331111221...",
    "..133311112222..",
    ".13331111112222.",
    "1111111111111111",
    ".22111111112222.",
    "..221111112222..",
    "...2211112222...",
    "....22111222....",
    ".....221122.....",
    "......2122......",
    ".......22.......",
    "................",
    "................",
]
GEM_B = [
    ".......3........",
    ".......3........",
    "....11111111....",
    "...1331111221...",
    "..133311112222..",
    ".13331111112222.",
    "1111111111111111",
    ".22111111112222.",
    "..221111112222..",
    "...2211112233...",
    "....221112333333",
    ".....2211223....",
    "......2122.3....",
    ".......22.......",
    "................",
    "................",
]
FEATHER = parse([
    "........",
    "........",
    "..3322..",
    ".3211111",
    "33221111",
    ".3322...",
    "........",
    "........",
])
PUFF_A = [
    "................",
    "................",
    "................",
    "......22........",
    ".....2222..2....",
    "...222112222....",
    "...22111112.....",
    "..2211111122....",
    "...2211111222...",
    "....221112222...",
    "...222112222....",
    "....2..222......",
    "................",
    "................",
    "................",
    "................",
]
PUFF_B = [
    "................",
    "..3.........3...",
    "....3....3......",
    "......2.........",
    "..2........2..3.",
    "....3..22.......",
    ".3....2..2......",
    "......2..2...2..",
    "..2....22....3..",
    "...........3....",
    ".3...2..........",
    "........3....2..",
    "...2.......3....",
    ".............3..",
    "..3.....2.......",
    "................",
]
SPRITE_ZERO = parse([
    "11111111",
    "........",
    "........",
    "........",
    "........",
    "........",
    "........",
    "........",
])


def quarters(rows):
    """A 16x16 picture -> its four tiles: top-left, top-right, bottom-left, bottom-right."""
    pic = parse(rows)
    return [cut(pic, 0, 0), cut(pic, 8, 0), cut(pic, 0, 8), cut(pic, 8, 8)]


def build_sprites():
    table = Table()
    table.put(0x00, solid(0))
    table.put(0x01, SPRITE_ZERO)
    for ch in GLYPHS:
        table.put(ord(ch), glyph_tile(ch))
    start = {
        0x80: RAVEN_UP, 0x84: RAVEN_DOWN, 0x88: RAVEN_DASH,
        0x90: BAT_UP, 0x94: BAT_DOWN,
        0xA0: GEM_A, 0xA4: GEM_B,
        0xB0: PUFF_A, 0xB4: PUFF_B,
    }
    for number, art in start.items():
        for i, tile in enumerate(quarters(art)):
            table.put(number + i, tile)
    table.put(0xC0, FEATHER)
    return table


# ---------------------------------------------------------------------------
# Background table and screens.

def build_background(animated):
    table = Table()
    table.put(0x00, solid(0))
    table.put(0x01, solid(1))
    table.put(0x02, solid(2))
    table.put(0x03, solid(3))
    for ch in GLYPHS:
        table.put(ord(ch), glyph_tile(ch))
    named = {
        0x04: STATUS_EDGE,
        0x05: SLOPE_UP, 0x06: SLOPE_DOWN, 0x07: SNOW_UP, 0x08: SNOW_DOWN,
        0x09: ROCK, 0x0A: ROCK_PLAIN,
        0x0B: TREE_LEFT, 0x0C: TREE_RIGHT, 0x0D: FOREST, 0x0E: FOREST_DARK,
        0x0F: GRASS_B if animated else GRASS_A,
        0x10: SOIL,
        0x11: WATER_B if animated else WATER_A,
        0x12: BANK, 0x13: EARTH, 0x14: EARTH_STONE,
    }
    for number, pixels in named.items():
        table.put(number, pixels)
    table.remember()
    return table


def place_picture(table, screen, picture, col, row):
    """Cuts a picture into tiles, adds them to the table, writes their numbers."""
    for ty in range(len(picture) // 8):
        for tx in range(len(picture[0]) // 8):
            tile = cut(picture, tx * 8, ty * 8)
            if all(c == 0 for r in tile for c in r):
                number = 0
            else:
                number = table.add(tile)
            if 0 <= col + tx < 32 and 0 <= row + ty < 30:
                screen[(row + ty) * 32 + col + tx] = number


def text(screen, col, row, string):
    for i, ch in enumerate(string):
        screen[row * 32 + col + i] = ord(ch)


def attributes(palette_of_row, overrides=None):
    """64 attribute bytes from a palette per pair of tile rows (16-pixel rows)."""
    out = []
    for ay in range(8):
        for ax in range(8):
            value = 0
            for quad, (dx, dy) in enumerate([(0, 0), (1, 0), (0, 1), (1, 1)]):
                row = ay * 4 + dy * 2
                col = ax * 4 + dx * 2
                p = palette_of_row(row) if row < 30 else 0
                if overrides:
                    p = overrides(col, row, p)
                value |= p << (quad * 2)
            out.append(value)
    return out


def landscape_palette(row):
    if row < 4:
        return 0
    if row < 20:
        return 1
    if row < 26:
        return 2
    if row < 28:
        return 1
    return 3


def fill_lowlands(screen, width, rng, tree_top):
    """Forest, grass, river and earth: rows 20-29."""
    for c in range(width):
        top = tree_top[c]
        for r in range(20, 24):
            if r < top:
                tile = 0x0E
            elif r == top:
                tile = 0x0B if c % 2 == 0 else 0x0C
            elif r == top + 1:
                tile = 0x0D
            else:
                tile = 0x0E if (c * 7 + r) % 5 else 0x0D
            screen[r * width + c] = tile
        screen[24 * width + c] = 0x0F
        screen[25 * width + c] = 0x10
        screen[26 * width + c] = 0x11
        screen[27 * width + c] = 0x11
        screen[28 * width + c] = 0x12
        screen[29 * width + c] = 0x14 if rng.random() < 0.15 else 0x13


def tree_tops(width, rng):
    tops = []
    c = 0
    while c < width:
        top = rng.choice([20, 20, 21, 21, 22])
        tops += [top, top]
        c += 2
    return tops[:width]


def playfield(table, rng):
    """Two nametables side by side (64 x 30 tiles), then split."""
    width = 64
    wide = [0] * (width * 30)
    # Status bar: black rows 0-2 with text on row 1 of the left table, the
    # gold edge on row 3 of both.
    for c in range(width):
        for r in range(3):
            wide[r * width + c] = 0x01
        wide[3 * width + c] = 0x04
    # Mountains: a ridge of 45-degree slopes. corner[i] is the ridge height
    # (a tile row boundary) at the left edge of column i; it walks up or down
    # by one per column, stays between rows 13 and 19 and comes back to its
    # start at column 64 so that the two tables wrap around seamlessly.
    corner = [17]
    for i in range(width):
        remaining = width - i
        h = corner[-1]
        if abs(corner[0] - h) >= remaining:
            step = 1 if corner[0] > h else -1
        elif h <= 13:
            step = 1
        elif h >= 19:
            step = -1
        else:
            step = rng.choice([-1, 1])
        corner.append(h + step)
    for c in range(width):
        left, right = corner[c], corner[c + 1]
        if right < left:  # rising to the right
            top = right
            wide[top * width + c] = 0x07 if top <= 14 else 0x05
        else:
            top = left
            wide[top * width + c] = 0x08 if top <= 14 else 0x06
        for r in range(top + 1, 20):
            wide[r * width + c] = 0x09 if (c * 3 + r) % 7 == 0 else 0x0A
    # Clouds over the sky rows 4-12.
    clouds = [(2, 5, CLOUD_A), (14, 8, CLOUD_B), (23, 4, CLOUD_B), (34, 6, CLOUD_A),
              (47, 9, CLOUD_B), (55, 5, CLOUD_B)]
    for col, row, art in clouds:
        pic = parse(art)
        for ty in range(len(pic) // 8):
            for tx in range(len(pic[0]) // 8):
                tile = cut(pic, tx * 8, ty * 8)
                if all(v == 0 for rr in tile for v in rr):
                    continue
                wide[(row + ty) * width + (col + tx) % width] = table.add(tile)
    fill_lowlands(wide, width, rng, tree_tops(width, rng))
    screens = []
    for half in range(2):
        screen = [wide[r * width + half * 32 + c] for r in range(30) for c in range(32)]
        if half == 0:
            text(screen, 1, 1, "SCORE 000000")
            text(screen, 15, 1, "HI 000000")
            text(screen, 26, 1, "[ 3")
        screen += attributes(landscape_palette)
        screens.append(screen)
    return screens


def title(table, rng):
    screen = [0] * 960
    logo = logo_picture("CORVEL")
    place_picture(table, screen, logo, 0, 2)
    # A black panel with a gold frame for the texts.
    for r in range(10, 19):
        for c in range(5, 27):
            screen[r * 32 + c] = 0x01
    text(screen, 9, 11, "A RAVEN'S FLIGHT")
    text(screen, 11, 13, "PUSH START")
    text(screen, 8, 15, "HI-SCORE 000000")
    text(screen, 8, 17, "A:FEATHER B:DASH")
    lowland = [0] * (32 * 30)
    fill_lowlands(lowland, 32, rng, tree_tops(32, rng))
    for r in range(20, 30):
        for c in range(32):
            screen[r * 32 + c] = lowland[r * 32 + c]
    screen += attributes(lambda row: 0 if row < 20 else landscape_palette(row))
    return screen


def png(path, pixels, width, height):
    """Writes an RGBA picture (list of rows of (r, g, b, a)) as a PNG file."""
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def icon(path, size):
    """The raven on a sky-blue rounded square, scaled to size x size."""
    colours = {1: (0x10, 0x10, 0x18, 255), 2: (0x00, 0x73, 0xEF, 255), 3: (0xFF, 0x9B, 0x3B, 255)}
    sky = (0x3F, 0xBF, 0xFF, 255)
    art = parse(RAVEN_UP)
    scale = size // 16
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            ax, ay = x // scale, y // scale
            c = art[ay][ax]
            corner = min(x, size - 1 - x) + min(y, size - 1 - y) < size // 8
            if c:
                row.append(colours[c])
            elif corner:
                row.append((0, 0, 0, 0))
            else:
                row.append(sky)
        rows.append(row)
    png(path, rows, size, size)


def byte_table(label, values):
    lines = [f"{label}:"]
    for i in range(0, len(values), 16):
        lines.append("    .byte " + ",".join(f"${v:02X}" for v in values[i : i + 16]))
    return "\n".join(lines) + "\n"


def main():
    rng = random.Random(1986)
    frame_a = build_background(False)
    frame_b = build_background(True)
    screens = playfield(frame_a, rng)
    title_screen = title(frame_a, rng)
    # Frame B gets every tile added for the screens, unchanged.
    for number in range(256):
        if frame_b.tiles[number] is None:
            frame_b.tiles[number] = frame_a.tiles[number]
    sprites = build_sprites()
    chr_data = frame_a.bytes() + frame_b.bytes() + sprites.bytes() + sprites.bytes()
    assert len(chr_data) == 16384
    with open(os.path.join(HERE, "demo.chr"), "wb") as f:
        f.write(chr_data)
    with open(os.path.join(HERE, "screens.inc"), "w") as f:
        f.write("; Generated by make_tiles.py: nametables with their attribute bytes.\n\n")
        f.write('.segment "BANK0"\n\n')
        f.write(byte_table("title_screen", title_screen))
        f.write('\n.segment "BANK2"\n')
        f.write("\n" + byte_table("playfield_left", screens[0]))
        f.write("\n" + byte_table("playfield_right", screens[1]))
    data_dir = os.path.join(HERE, "..", "..", "data")
    os.makedirs(data_dir, exist_ok=True)
    for size in (32, 64):
        icon(os.path.join(data_dir, f"corvel-{size}.png"), size)
    used = sum(1 for t in frame_a.tiles if t is not None)
    print(f"background tiles used: {used}/256")


if __name__ == "__main__":
    main()
