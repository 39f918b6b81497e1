#!/usr/bin/env bash
# Fails unless the Windows binary $1 exports every name given after it.
set -euo pipefail
binary=$1
shift
exports=$(i686-w64-mingw32-objdump -p "$binary" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
missing=0
for name in "$@"; do
  if ! grep -qE "\] $name\$" <<<"$exports"; then
    echo "$binary: export $name missing" >&2
    missing=1
  fi
done
exit $missing
