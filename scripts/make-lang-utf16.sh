#!/usr/bin/env bash
# Makes the shipped UTF-16LE language files (with byte-order mark) from their UTF-8
# sources: data/lang-src/XXXX.utf8.DAT becomes data/program/LANG/XXXX.DAT.
# Translators edit the UTF-8 source, run this script and commit both files; the l10n
# tests fail when a shipped file differs from its source.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
for src in "$root"/data/lang-src/*.utf8.DAT; do
    name=$(basename "$src" .utf8.DAT)
    out="$root/data/program/LANG/$name.DAT"
    tmp="$out.tmp"
    # A UTF-8 byte-order mark in the source is dropped; the output gets FF FE.
    { printf '\xff\xfe'; sed '1s/^\xEF\xBB\xBF//' "$src" | iconv -f UTF-8 -t UTF-16LE; } >"$tmp"
    mv "$tmp" "$out"
    echo "$out"
done
