#!/bin/sh
# Neovim's LSP client against pkgcustomize-check --lsp: usage:
# nvim_check.sh SOURCE_DIR SERVER [WRAPPER...]. Three copies of a package,
# each opened with a server of its own: the common-mistakes example (UTF-8:
# diagnostics, hover, an unsaved edit, fix all), and the sample package with
# one mistake after an "é" on its line, in windows-1252 and in UTF-16 (the
# diagnostics' columns, a quick fix).
set -eu
source_dir=$1; shift
command -v nvim >/dev/null || { echo "nvim is not installed (script/bootstrap)"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
command=$(printf '%s\t' "$@"); command=${command%?}
# The check tool, through its wrapper, with the arguments given.
tool() { (IFS='	'; set -f; $command "$@"); }

# one_mistake ENCODING: the sample package's config.xml in ENCODING, with a
# blank after a value that follows a comment holding an "é".
one_mistake() {
  sed -e "s|encoding=\"UTF-8\"|encoding=\"$1\"|" \
      -e 's|    <market_type>de-de</market_type>|    <!-- café --><market_type>de-de </market_type>|' \
      "$source_dir/examples/sample-package/config.xml" | iconv -f UTF-8 -t "$1"
}

# check_case NAME MODE: the folder $work/NAME/pkg in the editor, against
# what the command line finds there and what --fix makes of a copy.
check_case() {
  dir=$work/$1
  cp -R "$dir/pkg" "$dir/fixed"
  tool --all --format json "$dir/pkg" > "$dir/expected.json" || true
  tool --all --fix "$dir/fixed" > /dev/null || true
  MODE=$2 FOLDER=$dir/pkg EXPECTED=$dir/expected.json FIXED=$dir/fixed/config.xml \
    SERVER="$command	--lsp" HOME=$dir \
    nvim --headless --clean -n -c "lua local ok, e = pcall(dofile, '$source_dir/tests/check/lsp/nvim_client.lua')
      if not ok then io.stderr:write(tostring(e) .. '\\n'); vim.cmd('cquit!') end"
}

mkdir -p "$work/mistakes" "$work/cp1252" "$work/utf16"
cp -R "$source_dir/examples/common-mistakes" "$work/mistakes/pkg"
for encoding in cp1252 utf16; do
  cp -R "$source_dir/examples/sample-package" "$work/$encoding/pkg"
done
one_mistake windows-1252 > "$work/cp1252/pkg/config.xml"
one_mistake UTF-16 > "$work/utf16/pkg/config.xml"
status=0
for case in "mistakes full" "cp1252 quickfix" "utf16 quickfix"; do
  # shellcheck disable=SC2086
  check_case $case || { echo "the case $case failed"; status=1; }
done
exit $status
