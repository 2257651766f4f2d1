#!/usr/bin/env bash
# tesmar-render's command line: what each refused line says and ends with, whether the usage follows,
# and the spellings it takes.
#   render_options.sh PATH-TO-TESMAR-RENDER
set -uo pipefail
render=$(readlink -f "$1")
work=$(mktemp -d /tmp/tesmar-options-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work QT_QPA_PLATFORM=offscreen
failed=0

# status | usage on standard error | its first line | the arguments
while IFS='|' read -r status usage line arguments; do
  read -ra words <<<"$arguments"
  (cd "$work" && "$render" "${words[@]}") >"$work/out" 2>"$work/err"
  got=$?
  first=$(head -1 "$work/err")
  shown=no
  grep -q '^usage:' "$work/err" && shown=yes
  if [ "$got" -ne "$status" ] || [ "$first" != "$line" ] || [ "$shown" != "$usage" ]; then
    echo "FAIL: '$arguments' ended with $got, usage $shown, saying: $first"
    failed=1
  fi
done <<'TABLE'
2|yes|tesmar-render: unknown option --bogus|--bogus
2|yes|tesmar-render: unknown option stray|--frames 5 stray
2|yes|tesmar-render: --frames needs a value|--size 32x32 --frames
2|yes|tesmar-render: --help takes no value|--help=yes
2|no|tesmar-render: --size takes WxH with each side from 16 to 8192, not "15x32"|--size 15x32
2|no|tesmar-render: --frames takes a number from 0 to 100000000, not "-1"|--frames=-1
2|no|tesmar-render: --reinit-frames takes a number from 1 to 100000000, not "0"|--reinit-frames 0
2|no|tesmar-render: --memory takes a number from 1 to 100000000, not "1e3"|--memory 1e3
2|no|tesmar-render: --seed takes a number from 0 to 4294967295, not "4294967296"|--seed 4294967296
2|no|tesmar-render: --param takes a file name of 1 to 139 characters|--param=
2|no|tesmar-render: no parameter file "none.tmr"|--param none.tmr
2|no|tesmar-render: --out takes a .bmp or .png file, not "picture.jpg"|--out picture.jpg
0|no||--size 32x32 --frames 3 --seed 7 --out picture.png
0|no||-size=32X32 -frames=3 -seed=7 -reinit-frames=2 -out=picture.BMP
TABLE

"$render" --help >"$work/out" 2>&1 && grep -q '^usage: tesmar-render' "$work/out" || { echo "FAIL: --help"; failed=1; }
[ -s "$work/picture.png" ] && [ -s "$work/picture.BMP" ] || { echo "FAIL: the pictures were not written"; failed=1; }
[ $failed -eq 0 ] && echo "PASS: render_options"
exit $failed
