#!/usr/bin/env bash
# The program's embedded manifest asks to run as the invoking user, without UI access.
set -euo pipefail
manifest=$(wrestool -x --raw --type=24 "$1")
grep -q 'level="asInvoker"' <<<"$manifest" || { echo "no asInvoker level in: $manifest"; exit 1; }
grep -q 'uiAccess="false"' <<<"$manifest" || { echo "UI access not off in: $manifest"; exit 1; }
echo "manifest: asInvoker, no UI access"
