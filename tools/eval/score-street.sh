#!/usr/bin/env bash
# Scores the pipeline on the real street (KITTI's residential recording, read from KITTI_DIR and
# never copied into the repository): runs obstacle-track on its native 1226 x 370 16-bit disparity
# pictures through the KITTI camera, scores the run against the recording's ego motion with
# obstacle-eval --poses, prints the table and holds the scores to data/street/floors.txt.
#   tools/eval/score-street.sh BUILD_DIR [OUT_DIR]
# KITTI_DIR (default: ../shared/kitti beside the repository) holds residential/. OUT_DIR (default
# BUILD_DIR/street-scores) receives the camera, results.jsonl and scores.json.
# Exit status 1 when a guard fails, a step fails or the recording is missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1"
out="${2:-$build/street-scores}"
floors="$root/data/street/floors.txt"
# shellcheck source=floors.sh
source "$root/tools/eval/floors.sh"
street="${KITTI_DIR:-$root/../shared/kitti}/residential"

for program in obstacle-track obstacle-eval; do
  if [ ! -x "$build/$program" ]; then
    echo "street scores: $build/$program is not built" >&2
    exit 1
  fi
done
for input in calib.txt poses.txt disp_sgbm/000000.png; do
  if [ ! -f "$street/$input" ]; then
    echo "street scores: the KITTI recording is missing: no $street/$input (set KITTI_DIR to the folder holding residential/)" >&2
    exit 1
  fi
done

rm -rf "$out"
mkdir -p "$out"
disparity="$street/disp_sgbm/XXXXXX.png"
"$build/obstacle-track" --disparity "$disparity" --camera "$street/calib.txt" --camera-height 1.65 --pitch 0.02 \
  --fps 10 --zone -4,4 --camera-out "$out/camera.txt" --json "$out/results.jsonl" --quiet
score=("$build/obstacle-eval" --poses "$street/poses.txt" --results "$out/results.jsonl" --camera "$out/camera.txt"
       --disparity "$disparity")
echo "== street residential ($(wc -l < "$out/results.jsonl") frames)"
"${score[@]}"
"${score[@]}" --json > "$out/scores.json"

failed=0
while read -r key op limit _; do
  [ -n "$key" ] || continue
  floor_held "$out/scores.json" "$key" "$op" "$limit" "street residential" || failed=$((failed + 1))
done < <(sed 's/#.*//' "$floors")
if [ "$failed" -gt 0 ]; then
  echo "street scores: $failed guards broken"
  exit 1
fi
echo "street scores: every guard held"
