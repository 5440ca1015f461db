#!/usr/bin/env bash
# Checks an ELF program's protections, each one named:
#   check.sh <binary> <protection>...
# pie (a position independent executable), relro (a GNU_RELRO segment), now
# (immediate binding: with relro, full RELRO), stack (the stack protector),
# fortify (fortified libc calls); <protection>:<reason> is not checked, and
# says why, nor is any protection left unnamed. Exits 77 when nothing is
# left to check.
set -euo pipefail

bin=${1:?usage: check.sh <binary> <protection>...}
shift
[ -f "$bin" ] || { echo "no such file: $bin" >&2; exit 2; }
command -v readelf >/dev/null || { echo "readelf is missing (binutils)" >&2; exit 2; }
declare -A wanted=()
for protection in "$@"; do wanted[${protection%%:*}]=${protection#*:}; done
for protection in pie relro now stack fortify; do
  reason=${wanted[$protection]-"not asked for by this build's flags"}
  [ "$reason" = "$protection" ] || { printf 'skip  %s: %s\n' "$protection" "$reason"; unset "wanted[$protection]"; }
done
((${#wanted[@]})) || { echo "no protection to check"; exit 77; }

failed=0
header=$(readelf -W -h "$bin")
segments=$(readelf -W -l "$bin")
dynamic=$(readelf -W -d "$bin")
symbols=$(readelf -W --dyn-syms "$bin")
fortified=$(awk '{ sub(/@.*/, "", $8); if ($8 ~ /^__[a-z0-9_]+_chk$/ && $8 != "__stack_chk_fail") print $8 }' <<<"$symbols" | sort -u | tr '\n' ' ')

# check <protection> <found> <what is there> <what is missing>: reported
# when asked for.
check() {
  [ -n "${wanted[$1]:-}" ] || return 0
  if [ "$2" = yes ]; then printf 'ok    %s\n' "$3"; else printf 'FAIL  %s\n' "$4"; failed=1; fi
}

# PIE: an ELF of type DYN that has a program interpreter (a shared library
# has none).
check pie "$(grep -Eq '^ *Type: +DYN' <<<"$header" && grep -q INTERP <<<"$segments" && echo yes)" \
  "position independent executable (DYN with an interpreter)" \
  "not a position independent executable: $(grep -E '^ *Type:' <<<"$header" | sed 's/^ *//')"
check relro "$(grep -q GNU_RELRO <<<"$segments" && echo yes)" "GNU_RELRO program header" \
  "no GNU_RELRO program header (link with -z relro)"
check now "$(grep -Eq '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*[[:space:]]NOW' <<<"$dynamic" && echo yes)" \
  "immediate binding (BIND_NOW / FLAGS_1 NOW): full RELRO" \
  "lazy binding: no BIND_NOW or FLAGS_1 NOW in the dynamic section (link with -z now)"
check stack "$(grep -Eq '[[:space:]]__stack_chk_fail(@|$)' <<<"$symbols" && echo yes)" \
  "stack protector (__stack_chk_fail referenced)" \
  "__stack_chk_fail is not referenced (compile with -fstack-protector-strong)"
check fortify "$([ -n "$fortified" ] && echo yes)" "fortified calls: $fortified" \
  "no fortified __*_chk function referenced (compile optimised with -D_FORTIFY_SOURCE=2)"

exit "$failed"
