#!/usr/bin/env bash
# Lines of code, tests and test cartridges, and the tests' ratio to the code.
# A line counts when git tracks its file and it is neither blank nor only a
# comment (// and /* */ in C and C++, # in scripts and build files, ; in
# 6502 assembly).
#
#   scripts/count_lines.sh [DIR]    (DIR defaults to the checkout this script is in)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Counted lines of the files named on stdin.
count() {
  local total=0 file n
  while IFS= read -r file; do
    case "$file" in
      *.cpp | *.h | *.c)
        n=$(awk '
          { line = $0 }
          in_block { if (index(line, "*/")) { line = substr(line, index(line, "*/") + 2); in_block = 0 } else next }
          { while (match(line, /\/\*/)) {
              rest = substr(line, RSTART + 2)
              if (index(rest, "*/")) line = substr(line, 1, RSTART - 1) substr(rest, index(rest, "*/") + 2)
              else { line = substr(line, 1, RSTART - 1); in_block = 1 }
            }
            sub(/\/\/.*/, "", line)
            if (line ~ /[^ \t]/) n++ }
          END { print n + 0 }' "$file") ;;
      *.s | *.inc) n=$(grep -cvE '^[[:space:]]*(;.*)?$' "$file" || true) ;;
      *) n=$(grep -cvE '^[[:space:]]*(#.*)?$' "$file" || true) ;;
    esac
    total=$((total + n))
  done
  echo "$total"
}

code=$(git ls-files src tools | count)
tests=$(git ls-files tests | grep -v '^tests/fuzz/corpus/\|^tests/fuzz/regressions/\|\.png$' | count)
cartridges=$(git ls-files cartridges | grep -v '^cartridges/demo/' | grep -E '\.(s|inc|cfg)$' | count)
echo "code (src, tools):        $code"
echo "tests:                    $tests"
echo "test cartridges:          $cartridges"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests / code:             %.2f\n", t / c }'
