#!/usr/bin/env bash
# Shows that script/check-exe --zip refuses a release zip that lacks its
# licence, notices, bill of materials or schema, or whose bill does not
# match the exes and files it ships. Each row breaks one thing in a copy of a good release and
# names the complaint it must get; the intact copy must pass.
# Usage: tests/release/check-zip.sh DIST CERT   (a release of script/release
# signed with CERT; its x64 zip is used)
set -uo pipefail
dist=${1:?usage: tests/release/check-zip.sh DIST CERT} cert=${2:?usage: tests/release/check-zip.sh DIST CERT}
check_exe=$(cd "$(dirname "$0")/../.." && pwd)/script/check-exe
zip=$(echo "$dist"/pkgcustomize-*-windows-x64.zip)
[ -f "$zip" ] || { echo "no x64 zip in $dist" >&2; exit 2; }
top=$(basename "$zip" .zip)
bom=$top.cdx.json
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work/good"

# Edits both copies of the bill (inside and beside) with a Python statement
# over `bom`, the parsed document.
edit_bill() {
  local file
  for file in "$tree/$bom" "$beside"; do
    python3 - "$file" "$1" <<'PY'
import json, sys
path, statement = sys.argv[1:]
bom = json.load(open(path, encoding="utf-8"))
exec(statement)
open(path, "w", encoding="utf-8").write(json.dumps(bom, indent=2, ensure_ascii=False) + "\n")
PY
  done
}
exe_entry='next(c for c in bom["components"] if c["name"] == "pkgcustomize.exe")'

break_nothing() { :; }
break_no_licence() { rm "$tree/LICENSE"; }
break_no_notices() { rm "$tree/THIRD-PARTY-NOTICES"; }
break_no_bill_inside() { rm "$tree/$bom"; }
break_no_bill_beside() { rm "$beside"; }
break_bill_beside_differs() { sed -i 's/"version": 1,/"version": 2,/' "$beside"; }
break_wrong_hash() { edit_bill "$exe_entry[\"hashes\"][0][\"content\"] = '0' * 64"; }
break_wrong_version() { edit_bill "$exe_entry[\"version\"] = '0.0.1'"; }
# The bill is of the exes as shipped: the unsigned build is not them.
break_unsigned_exe() {
  osslsigncode remove-signature -in "$tree/pkgcustomize.exe" -out "$work/unsigned.exe" >/dev/null &&
    mv "$work/unsigned.exe" "$tree/pkgcustomize.exe"
}
break_exe_not_in_bill() { edit_bill 'bom["components"] = [c for c in bom["components"] if c["name"] != "pkgcustomize-check.exe"]'; }
break_exe_not_in_zip() { rm "$tree/pkgcustomize-check.exe"; }
break_no_schema() { rm "$tree/docs/config.xsd"; }
break_schema_changed() { echo '<!-- -->' >>"$tree/docs/config.xsd"; }
break_schema_not_in_bill() { edit_bill 'bom["components"] = [c for c in bom["components"] if c["name"] != "docs/config.xsd"]'; }
break_component_not_in_notices() { sed -i '/^mingw-w64-crt [0-9]/d' "$tree/THIRD-PARTY-NOTICES"; }

# row: the break | what check-exe must say (empty: it must pass)
rows=(
  "nothing|"
  "no_licence|lacks $top/LICENSE"
  "no_notices|lacks $top/THIRD-PARTY-NOTICES"
  "no_bill_inside|lacks $top/$bom"
  "no_bill_beside|no bill of materials $bom beside it"
  "bill_beside_differs|the bill of materials beside it differs from the one inside"
  "wrong_hash|pkgcustomize.exe: the bill gives SHA-256 0000"
  "wrong_version|pkgcustomize.exe: the bill gives version 0.0.1"
  "unsigned_exe|pkgcustomize.exe: the bill gives SHA-256"
  "exe_not_in_bill|pkgcustomize-check.exe is not in the bill of materials"
  "exe_not_in_zip|lists pkgcustomize-check.exe, which is not in the zip"
  "component_not_in_notices|THIRD-PARTY-NOTICES has no section for mingw-w64-crt"
  "no_schema|lists docs/config.xsd, which is not in the zip"
  "schema_changed|docs/config.xsd: the bill's SHA-256 is not the file's in the zip"
  "schema_not_in_bill|docs/config.xsd is not in the bill of materials"
)

passed=0 failed=0
for row in "${rows[@]}"; do
  IFS='|' read -r name expected <<<"$row"
  case_dir=$work/$name
  mkdir -p "$case_dir/unpacked"
  cp -a "$work/good/$top" "$case_dir/unpacked/"
  cp "$dist/$bom" "$case_dir/$bom"
  tree=$case_dir/unpacked/$top beside=$case_dir/$bom
  "break_$name"
  (cd "$case_dir/unpacked" && find "$top" -type f | LC_ALL=C sort | zip -q -X "$case_dir/$top.zip" -@)
  output=$("$check_exe" --cert "$cert" --zip "$case_dir/$top.zip" 2>&1)
  status=$?
  if [ -z "$expected" ] && [ $status -eq 0 ]; then
    result=ok
  elif [ -n "$expected" ] && [ $status -ne 0 ] && [[ $output == *"$expected"* ]]; then
    result=ok
  else
    result="FAILED: expected ${expected:-success}, got status $status: ${output:-no output}"
  fi
  if [ "$result" = ok ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  echo "check-zip $name: $result"
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
