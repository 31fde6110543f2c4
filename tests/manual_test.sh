#!/usr/bin/env bash
# The manual page renders without a single groff warning, carries the program's version and has
# the sections that readers of a manual page look for.
# Usage: manual_test.sh PAGE VERSION
set -euo pipefail
page=$1
version=$2
status=0

warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
    echo "groff warns about $page:"
    echo "$warnings"
    status=1
fi

# man -l renders it the way a reader sees it; its own complaints count as warnings too.
rendered=$(MANWIDTH=80 MAN_DISABLE_SECCOMP=1 man -l "$page" 2>"${TMPDIR:-/tmp}/manual_test.$$") || status=1
if [ -s "${TMPDIR:-/tmp}/manual_test.$$" ]; then
    echo "man -l complains about $page:"
    cat "${TMPDIR:-/tmp}/manual_test.$$"
    status=1
fi
rm -f "${TMPDIR:-/tmp}/manual_test.$$"

for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES CAVEATS "SEE ALSO"; do
    grep -qx "$section" <<<"$rendered" || { echo "no $section section in $page"; status=1; }
done
footer=$(tail -n 1 <<<"$rendered")
[[ $footer == "Tarnwick $version "* ]] || { echo "footer names another version: $footer"; status=1; }

[ $status -eq 0 ] && echo "manual page: no warnings, version $version, all sections"
exit $status
