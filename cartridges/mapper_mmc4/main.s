; MMC4: 16 KB PRG switching at $8000 with the last 16 KB fixed, and the
; latch-switched CHR banks.
MAPPER = 10
.include "latch_board.inc"
