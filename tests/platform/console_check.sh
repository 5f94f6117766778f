#!/usr/bin/env bash
# Shows, under Wine x64, that what the check tool prints reaches a Windows
# console whole: console_echo.exe, started in a folder named in Cyrillic,
# prints the folder and a value with "é" on a pseudo-terminal (the console
# path: WriteConsoleW) and into a file (the UTF-8 bytes). The console's code
# page (437) holds neither the Cyrillic letters nor, as UTF-8 bytes, the "é".
# Usage: console_check.sh CONSOLE_ECHO_EXE WINEPREFIX
set -euo pipefail
exe=$(realpath "$1")
export WINEPREFIX=$(realpath "$2") WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=wine64
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/Пакет"
mkdir "$folder"
printf '%s' '<config><binary code="TR01"><package_type>E</package_type><market_type>café</market_type></binary></config>' \
  >"$folder/config.xml"
cd "$folder"

failed=0
expect() {  # WHAT FILE TEXT...
  local what=$1 file=$2 text
  shift 2
  for text in "$@"; do
    grep -qF -- "$text" "$file" || { echo "$what: no \"$text\" in:"; cat -v "$file"; failed=1; }
  done
}

script -q -e -c "'$loader' '$exe'" /dev/null </dev/null >"$work/console.txt"
expect "console" "$work/console.txt" "Пакет" "market café"

"$loader" "$exe" >"$work/out.txt" 2>"$work/err.txt"
expect "redirected output" "$work/out.txt" "Пакет" "market café"
expect "redirected error" "$work/err.txt" "market café"

[ $failed -eq 0 ] && echo "console and file: Cyrillic folder and é arrive whole"
exit $failed
