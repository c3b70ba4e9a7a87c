; MMC2: 8 KB PRG switching at $8000 with the last 24 KB fixed, and the
; latch-switched CHR banks.
MAPPER = 9
.include "latch_board.inc"
