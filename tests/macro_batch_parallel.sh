#!/bin/sh
# One macro over three stacks at once: velmora3d --batch run by xargs -P 2, one independent
# process per stack, each writing its own output. Every output must exist and be the same,
# byte for byte, as a run of the same macro on the same stack alone.
#
#   macro_batch_parallel.sh path/to/velmora3d
set -eu
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/stacks" "$work/alone"
unset DISPLAY QT_QPA_PLATFORM || true

# Three stacks made from the demo volume, smoothed with windows of 1, 3 and 5 columns.
cat >"$work/make.v3m" <<'MACRO'
command 1172 "&Standard Median"
  volume 0
  volume New[1] x=128 y=128 z=64
  values ${WINDOW} 1 1
write-tiff-stack 1 "${OUT}" compression=lzw
MACRO
for w in 1 3 5; do
  "$program" --batch "$work/make.v3m" --var WINDOW=$w --var OUT="$work/stacks/s$w.tif" >/dev/null
done

# The pipeline: open the stack, threshold, label, write the labels as a TIFF stack.
cat >"$work/pipeline.v3m" <<'MACRO'
command 40100 "Open TIFF Stac&k..."
  file "${IN}"
  volume New[1] x=128 y=128 z=64
command 1200 &Threshold
  volume 1
  volume New[2] x=128 y=128 z=64
  values 140
command 1205 "&Label/Count objects"
  answer yes
  volume 2
  volume New[3] x=128 y=128 z=64
write-tiff-stack 3 "${OUT}"
MACRO

ls "$work"/stacks/*.tif | xargs -P 2 -I{} sh -c \
  '"$0" --batch "$1" --var IN="$2" --var OUT="$2.labels.tif" >"$2.log" 2>&1' \
  "$program" "$work/pipeline.v3m" {}

status=0
for w in 1 3 5; do
  stack="$work/stacks/s$w.tif"
  "$program" --batch "$work/pipeline.v3m" --var IN="$stack" --var OUT="$work/alone/s$w.tif" >/dev/null
  if [ ! -s "$stack.labels.tif" ]; then
    echo "no output for s$w.tif:"; cat "$stack.log"; status=1
  elif ! cmp -s "$stack.labels.tif" "$work/alone/s$w.tif"; then
    echo "the parallel output of s$w.tif differs from a run alone"; status=1
  elif ! grep -q ': commands run: 3, files written: 1$' "$stack.log"; then
    echo "unexpected log for s$w.tif:"; cat "$stack.log"; status=1
  fi
done
# The three inputs differ, and so do their results.
if cmp -s "$work/alone/s1.tif" "$work/alone/s5.tif"; then
  echo "different stacks gave the same labels"; status=1
fi
exit $status
