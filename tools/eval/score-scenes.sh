#!/usr/bin/env bash
# Scores the pipeline on every scene of data/scenes: renders the sequence, runs obstacle-track
# on it, prints obstacle-eval's table and holds the scores to data/scenes/floors.txt.
#   tools/eval/score-scenes.sh BUILD_DIR [OUT_DIR]
# BUILD_DIR holds scene-render, obstacle-track and obstacle-eval; OUT_DIR (default
# BUILD_DIR/scene-scores) receives each scene's truth.csv, results.jsonl and scores.json.
# Exit status 1 when a guard fails or a step fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1"
out="${2:-$build/scene-scores}"
floors="$root/data/scenes/floors.txt"

if [ ! -x "$build/obstacle-track" ]; then
  echo "scene scores skipped: $build/obstacle-track is not built"
  exit 0
fi

# Prints the value of member $2 of the JSON object in file $1 ("null" when absent or null).
score() { jq -r --arg key "$2" '.[$key]' "$1"; }

failed=0
for scene in "$root"/data/scenes/*.txt; do
  name="$(basename "$scene" .txt)"
  [ "$name" = floors ] && continue
  dir="$out/$name"
  rm -rf "$dir"
  mkdir -p "$dir/frames"
  "$build/scene-render" --scene "$scene" --sequence "$dir/frames/dXXXXX.bmp" --truth "$dir/truth.csv"
  last=$(find "$dir/frames" -name 'd*.bmp' | wc -l)
  "$build/obstacle-track" --disparity "$dir/frames/dXXXXX.bmp" --first 1 --last "$last" --quiet \
    --json "$dir/results.jsonl" 2>/dev/null
  rm -rf "$dir/frames"
  echo "== scene $name ($last frames)"
  "$build/obstacle-eval" --truth "$dir/truth.csv" --results "$dir/results.jsonl"
  "$build/obstacle-eval" --truth "$dir/truth.csv" --results "$dir/results.jsonl" --json > "$dir/scores.json"
  while read -r s key op limit _; do
    [ "$s" = "$name" ] || continue
    value="$(score "$dir/scores.json" "$key")"
    if [ -z "$value" ] || [ "$value" = null ] ||
       ! awk -v v="$value" -v op="$op" -v l="$limit" 'BEGIN { exit !((op == ">=" && v + 0 >= l + 0) || (op == "<=" && v + 0 <= l + 0)) }'; then
      echo "FLOOR BROKEN: $name $key = ${value:-missing}, required $op $limit"
      failed=$((failed + 1))
    fi
  done < <(sed 's/#.*//' "$floors")
done
if [ "$failed" -gt 0 ]; then
  echo "scene scores: $failed guards broken"
  exit 1
fi
echo "scene scores: every guard held"
