#!/usr/bin/env bash
# Checks one program's --help and --version against its manual page:
#   help_and_man_test.sh PROGRAM MANPAGE
# --help and --version answer with exit status 0; --version prints "NAME VERSION" with the
# version the manual page's header carries; every option the help names (--long, /SWITCH) is
# described in the manual page, and every long option the page sets as an option (a macro
# line) is in the help.
set -uo pipefail
program=$1
manpage=$2
name=$(basename "$program")
failures=0
fail() { echo "FAIL ($name): $*"; failures=$((failures + 1)); }

help=$("$program" --help </dev/null 2>&1) || fail "--help exited with $?"
[[ -n $help ]] || fail "--help printed nothing"
version=$("$program" --version </dev/null 2>&1) || fail "--version exited with $?"
[[ $version =~ ^$name\ [0-9]+(\.[0-9]+)+$ ]] || fail "--version printed '$version'"

[[ -f $manpage ]] || { fail "no manual page $manpage"; exit 1; }
# The page as text: font changes and escapes of '-' removed.
page=$(sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/\\(em/-/g' "$manpage")
header=$(grep -m1 '^\.TH' "$manpage")
[[ $header == *"\"$version\""* ]] || fail "manual page header '$header' is not for '$version'"

options() { grep -oE -- '(--[a-z][a-z0-9-]*|/[A-Z][A-Z]+)' | sort -u; }
while read -r option; do
    grep -qF -- "$option" <<<"$page" || fail "$option is in --help but not in $manpage"
done < <(options <<<"$help")
while read -r option; do
    grep -qF -- "$option" <<<"$help" || fail "$option is in $manpage but not in --help"
done < <(grep -E '^\.(B|BR|BI|RB|TP)' <<<"$page" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)

((failures == 0)) && echo "ok: $name --help, --version and $manpage agree"
exit $((failures > 0))
