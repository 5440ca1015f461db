#!/usr/bin/env bash
# Checks that an ELF program was built hardened: position independent
# (PIE), full RELRO (a GNU_RELRO segment and immediate binding), the stack
# protector and fortified libc calls. Usage: check.sh <binary>
set -euo pipefail

bin=${1:?usage: check.sh <binary>}
[ -f "$bin" ] || { echo "no such file: $bin" >&2; exit 2; }
command -v readelf >/dev/null || { echo "readelf is missing (binutils)" >&2; exit 2; }

failed=0
pass() { printf 'ok    %s\n' "$1"; }
fail() { printf 'FAIL  %s\n' "$1"; failed=1; }

header=$(readelf -W -h "$bin")
segments=$(readelf -W -l "$bin")
dynamic=$(readelf -W -d "$bin")
symbols=$(readelf -W --dyn-syms "$bin")

# PIE: an ELF of type DYN that has a program interpreter (a shared library
# has none).
if grep -Eq '^ *Type: +DYN' <<<"$header" && grep -q 'INTERP' <<<"$segments"; then
  pass "position independent executable (DYN with an interpreter)"
else
  fail "not a position independent executable: $(grep -E '^ *Type:' <<<"$header" | sed 's/^ *//')"
fi

if grep -q 'GNU_RELRO' <<<"$segments"; then
  pass "GNU_RELRO program header"
else
  fail "no GNU_RELRO program header (link with -z relro)"
fi

if grep -Eq '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*[[:space:]]NOW' <<<"$dynamic"; then
  pass "immediate binding (BIND_NOW / FLAGS_1 NOW): full RELRO"
else
  fail "lazy binding: no BIND_NOW or FLAGS_1 NOW in the dynamic section (link with -z now)"
fi

if grep -Eq '[[:space:]]__stack_chk_fail(@|$)' <<<"$symbols"; then
  pass "stack protector (__stack_chk_fail referenced)"
else
  fail "__stack_chk_fail is not referenced (compile with -fstack-protector-strong)"
fi

fortified=$(awk '{ sub(/@.*/, "", $8); if ($8 ~ /^__[a-z0-9_]+_chk$/ && $8 != "__stack_chk_fail") print $8 }' <<<"$symbols" | sort -u | tr '\n' ' ')
if [ -n "$fortified" ]; then
  pass "fortified calls: $fortified"
else
  fail "no fortified __*_chk function referenced (compile optimised with -D_FORTIFY_SOURCE=2)"
fi

exit "$failed"
