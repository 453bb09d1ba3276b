#!/usr/bin/env bash
# The man pages and --help name the same options, so neither can drift from the other; the
# pages also render without groff warnings.
#   man-pages-test.sh PSUCAL PSUCAL_SIM DOC_DIR
set -uo pipefail
failures=0

# Option names at the head of each option line of --help: "  -h, --help", "  --dir DIR".
help_options() {
  QT_QPA_PLATFORM=offscreen "$1" --help | grep -oE '^  (-[a-zA-Z], )?--[a-z][a-z-]*' |
    grep -oE -- '-{1,2}[a-zA-Z][a-z-]*' | sort -u
}

# Option names at the head of each tagged paragraph (.TP) of the page.
page_options() {
  awk 'tagged { print } { tagged = ($0 == ".TP") }' "$1" |
    sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/^\.[BIR]* //' -e 's/"//g' |
    grep -oE '^(-[a-zA-Z] *, *)?--[a-z][a-z-]*' | grep -oE -- '-{1,2}[a-zA-Z][a-z-]*' | sort -u
}

check() {
  local program=$1 page=$2 diffs warnings
  if [ ! -r "$page" ]; then
    echo "FAIL: $page is missing"
    failures=$((failures + 1))
    return
  fi
  diffs=$(diff <(help_options "$program") <(page_options "$page"))
  if [ -n "$diffs" ]; then
    echo "FAIL: $(basename "$page") and $(basename "$program") --help differ (< only in --help, > only in the page):"
    echo "$diffs"
    failures=$((failures + 1))
  fi
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    if [ -n "$warnings" ]; then
      echo "FAIL: $(basename "$page") renders with warnings:"
      echo "$warnings"
      failures=$((failures + 1))
    fi
  fi
}

check "$1" "$3/psucal.1"
check "$2" "$3/psucal-sim.1"
if [ "$failures" -gt 0 ]; then
  exit 1
fi
echo "man pages: both list exactly the options of --help"
