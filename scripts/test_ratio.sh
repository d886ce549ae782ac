#!/usr/bin/env bash
# Prints the lines of tests against the lines of product, per top folder and
# in total, with their ratio (the team keeps it at most 0.4).
#
# Which file is which (files git tracks, or every file outside build/ when
# there is no git):
#   tests:   every *_test.* file; the test utilities (*test_util*,
#            test_support.h, test_helpers.h, test_folder.h); everything in
#            tests/ except the fuzz corpus and the stored crash inputs
#            (tests/fuzz/corpus/, tests/fuzz/crashes/); everything in
#            testplatform/ and fuzz/.
#   product: every other C++ (.cpp, .h), shell (.sh or a shell shebang),
#            Python (.py) and CMake (CMakeLists.txt, .cmake) file outside
#            bench/.
# Data, documents and pictures count on neither side. Never fails: it only
# reports.
cd "$(dirname "$0")/.." || exit 0

list_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files
  else
    find . -path ./build -prune -o -type f -print | sed 's|^\./||'
  fi
}

classify() {  # prints "side folder lines" for one file, or nothing
  local f=$1 base folder side=""
  base=${f##*/}
  folder=${f%%/*}
  [ "$folder" = "$f" ] && folder="(top)"
  case "$f" in
    bench/* | tests/fuzz/corpus/* | tests/fuzz/crashes/*) return ;;
    tests/* | testplatform/* | fuzz/*) side=test ;;
  esac
  if [ -z "$side" ]; then
    case "$base" in
      *_test.* | *test_util* | test_support.h | test_helpers.h | test_folder.h) side=test ;;
      *.cpp | *.h | *.sh | *.py | CMakeLists.txt | *.cmake) side=product ;;
      *.*) return ;;
      *) head -c 64 "$f" 2>/dev/null | grep -qE '^#!.*(sh|bash|python)' && side=product ;;
    esac
  fi
  [ -n "$side" ] || return
  echo "$side $folder $(wc -l <"$f")"
}

list_files | while IFS= read -r f; do
  [ -f "$f" ] && classify "$f"
done | awk '
  { lines[$1 " " $2] += $3; total[$1] += $3; folders[$2] = 1 }
  function ratio(t, p) { return p > 0 ? sprintf("%.2f", t / p) : "-" }
  END {
    for (f in folders) {
      t = lines["test " f] + 0; p = lines["product " f] + 0
      printf "%-14s %7d %8d %6s\n", f, t, p, ratio(t, p) | "sort"
    }
    close("sort")
    printf "%-14s %7d %8d %6s\n", "total", total["test"], total["product"],
           ratio(total["test"], total["product"])
  }' | { printf "%-14s %7s %8s %6s\n" folder tests product ratio; cat; }
exit 0
