#!/usr/bin/env bash
# scripts/install-deps must leave apt alone when nothing is missing, install only what is
# missing, and fail with a clear message when apt cannot help. apt-get, apt and sudo are shims
# that log every call; dpkg-query and locale are faked from a small package table.
set -uo pipefail

script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

mkdir -p "$work/bin"
for tool in apt-get apt; do
  cat >"$work/bin/$tool" <<'SHIM'
#!/usr/bin/env bash
echo "$(basename "$0") $*" >>"$SHIM_LOG"
if [ "${SHIM_APT:-fail}" = ok ] && [ "${1:-}" = install ]; then
  for arg in "$@"; do
    case "$arg" in -*|install) ;; *) echo "ii |$arg|" >>"$FAKE_DPKG" ;; esac
  done
  exit 0
fi
echo "E: shim $(basename "$0"): no route to a package mirror" >&2
exit 100
SHIM
done
cat >"$work/bin/sudo" <<'SHIM'
#!/usr/bin/env bash
echo "sudo $*" >>"$SHIM_LOG"
exec "$@"
SHIM
cat >"$work/bin/fake-dpkg-query" <<'SHIM'
#!/usr/bin/env bash
cat "$FAKE_DPKG"
SHIM
cat >"$work/bin/fake-locale" <<'SHIM'
#!/usr/bin/env bash
echo C.utf8
echo de_DE.utf8
SHIM
chmod +x "$work"/bin/*

# Runs install-deps with the shims first on PATH. With "fake", dpkg-query and locale answer
# from $FAKE_DPKG instead of the machine's package database.
run() {
  local mode=$1
  : >"$work/calls.log"
  local path="$work/bin:$PATH"
  if [ "$mode" = fake ]; then
    mkdir -p "$work/fakebin"
    ln -sf "$work/bin/fake-dpkg-query" "$work/fakebin/dpkg-query"
    ln -sf "$work/bin/fake-locale" "$work/fakebin/locale"
    path="$work/fakebin:$path"
  fi
  PATH="$path" SHIM_LOG="$work/calls.log" FAKE_DPKG="$work/dpkg" SHIM_APT="${SHIM_APT:-fail}" \
    "$script" >"$work/out" 2>&1
}

# Every package installed, the Qt serial-port one only through a package that provides it.
"$script" --list >"$work/names"
grep -qx qt6-serialport-dev "$work/names" || fail "--list does not name qt6-serialport-dev"
: >"$work/dpkg"
while read -r name; do
  [ "$name" = qt6-serialport-dev ] || echo "ii |$name|" >>"$work/dpkg"
done <"$work/names"
echo "ii |qt6-serialport-dev-other|foo (= 1), qt6-serialport-dev (= 6.4.2-2)" >>"$work/dpkg"
echo "rc |xvfb-old|" >>"$work/dpkg"

run fake
status=$?
[ "$status" -eq 0 ] || fail "everything present: exit $status: $(cat "$work/out")"
[ -s "$work/calls.log" ] && fail "everything present, yet called: $(cat "$work/calls.log")"

# One package removed (only its configuration left) and no mirror: name it, say how, exit non-zero.
sed -i 's/^ii |xvfb|$/rc |xvfb|/' "$work/dpkg"
run fake
status=$?
[ "$status" -ne 0 ] || fail "missing package without a mirror: exit 0"
grep -q "missing: xvfb$" "$work/out" || fail "missing package not named: $(cat "$work/out")"
grep -q "apt-get install xvfb" "$work/out" || fail "no install command given: $(cat "$work/out")"

# With a mirror: update, then install exactly what was missing.
SHIM_APT=ok run fake
status=$?
[ "$status" -eq 0 ] || fail "install with a mirror: exit $status: $(cat "$work/out")"
grep -q "^apt-get update" "$work/calls.log" || fail "no apt-get update before installing"
grep -qx "apt-get install -y -qq --no-install-recommends xvfb" "$work/calls.log" ||
  fail "wrong install call: $(cat "$work/calls.log")"

# This machine's own package database, when it has everything: still no apt call.
if "$script" --check >/dev/null 2>&1; then
  run real
  status=$?
  [ "$status" -eq 0 ] || fail "this machine: exit $status: $(cat "$work/out")"
  [ -s "$work/calls.log" ] && fail "this machine has everything, yet called: $(cat "$work/calls.log")"
else
  echo "note: this machine lacks packages; only the faked cases ran"
fi

if [ "$failures" -gt 0 ]; then
  echo "install-deps: $failures check(s) failed"
  exit 1
fi
echo "install-deps: all checks passed"
