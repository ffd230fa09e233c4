#!/usr/bin/env bash
# Which Windows targets scripts/test builds and runs, on a machine that can
# execute 32-bit programs and on one that cannot. The second kind is simulated
# with a probe program whose execve fails with ENOEXEC, as every i386 program
# does where the kernel's IA-32 emulation is off.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/lib/common.sh
. "$root/scripts/lib/common.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The real probe with its machine field (offset 18) set to EM_NONE: the
# kernel refuses it with ENOEXEC.
updater_write_i386_probe "$work/enoexec"
printf '\x00' | dd of="$work/enoexec" bs=1 seek=18 conv=notrunc status=none
if "$work/enoexec" 2>/dev/null; then
    echo "FAIL: the simulated probe ran" >&2
    exit 1
fi

failures=0
# check NAME PROBE ARCH EXPECTED_STATUS EXPECTED_LINE...
check() {
    local name=$1 probe=$2 arch=$3 want_status=$4
    shift 4
    local out status=0
    out=$(UPDATER_I386_PROBE=$probe UPDATER_WINDOWS_ARCH=$arch \
        "$root/scripts/test" --plan 2>&1) || status=$?
    local ok=true line
    [ "$status" -eq "$want_status" ] || ok=false
    for line in "$@"; do
        grep -qxF -- "$line" <<<"$out" || ok=false
    done
    if $ok; then
        echo "ok: $name"
    else
        echo "FAIL: $name (exit status $status, wanted $want_status)" >&2
        printf '  wanted: %s\n' "$@" >&2
        sed 's/^/  got:    /' <<<"$out" >&2
        failures=$((failures + 1))
    fi
}

check "no 32-bit: x86_64 runs, i686 is built and skipped" "$work/enoexec" "" 0 \
    "Windows targets to build: x86_64 i686" \
    "Windows tests: x86_64 under 64-bit Wine: to run; i686: skipped, this machine cannot run 32-bit programs"
check "32-bit: both run" /bin/true "" 0 \
    "Windows targets to build: x86_64 i686" \
    "Windows tests: x86_64 under 64-bit Wine: to run; i686 under 32-bit Wine: to run"
check "x86_64 only" "$work/enoexec" x86_64 0 \
    "Windows targets to build: x86_64" \
    "Windows tests: x86_64 under 64-bit Wine: to run"
check "i686 only, where it can run" /bin/true i686 0 \
    "Windows targets to build: i686" \
    "Windows tests: i686 under 32-bit Wine: to run"
check "i686 only, where it cannot run" "$work/enoexec" i686 1 \
    "no Windows target can run here: this machine cannot run 32-bit programs"
check "an unknown architecture" /bin/true arm64 2 \
    "UPDATER_WINDOWS_ARCH must be i686 or x86_64, not 'arm64'"

[ "$failures" -eq 0 ]
