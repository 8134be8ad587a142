#!/usr/bin/env bash
# Peak resident memory of one conversion, for a 64 KB and a 128 MB file of
# each shape: usage bench/peak-memory.sh <build dir>
set -euo pipefail
once="$(realpath "$1")/bench/convert_once"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf '%-9s %9s %14s\n' shape size "peak RSS (KB)"
for shape in textures vertices; do
  for kb in 64 131072; do
    "$once" make "$shape" "$kb" model.x
    peak=$(/usr/bin/time -f '%M' "$once" convert model.x 2>&1 >/dev/null | tail -n 1)
    printf '%-9s %8sK %14s\n' "$shape" "$kb" "$peak"
  done
done
