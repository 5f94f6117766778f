#!/bin/sh
# Neovim's LSP client against pkgcustomize-check --lsp on a copy of the
# common-mistakes example: usage: nvim_check.sh SOURCE_DIR SERVER [WRAPPER...]
set -eu
source_dir=$1; shift
command -v nvim >/dev/null || { echo "nvim is not installed (script/bootstrap)"; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
mkdir "$work/pkg" "$work/fixed"
cp "$source_dir"/examples/common-mistakes/* "$work/pkg/"
cp "$source_dir"/examples/common-mistakes/* "$work/fixed/"
server=$(printf '%s\t' "$@" --lsp); server=${server%?}
"$@" --all --format json "$work/pkg" > "$work/expected.json" || true
"$@" --all --fix "$work/fixed" > /dev/null || true
FOLDER=$work/pkg EXPECTED=$work/expected.json FIXED=$work/fixed/config.xml SERVER=$server \
  HOME=$work nvim --headless --clean -n -c "luafile $source_dir/tests/check/lsp/nvim_client.lua"
