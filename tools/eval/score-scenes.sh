#!/usr/bin/env bash
# Scores the pipeline on every scene of data/scenes through the default camera and through each
# camera of data/cameras: renders the sequence through the camera, runs obstacle-track on it with
# that camera, prints obstacle-eval's table (judged with the camera the run wrote) and holds the
# scores of every camera to the same floors, data/scenes/floors.txt. Last, a table of each floor's
# scores side by side, one column per camera.
#   tools/eval/score-scenes.sh BUILD_DIR [OUT_DIR]
# BUILD_DIR holds scene-render, obstacle-track and obstacle-eval; OUT_DIR (default
# BUILD_DIR/scene-scores) receives, per camera and scene, CAMERA/SCENE/truth.csv, results.jsonl,
# camera.txt and scores.json.
# Exit status 1 when a guard fails or a step fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1"
out="${2:-$build/scene-scores}"
floors="$root/data/scenes/floors.txt"
# shellcheck source=floors.sh
source "$root/tools/eval/floors.sh"

if [ ! -x "$build/obstacle-track" ]; then
  echo "scene scores skipped: $build/obstacle-track is not built"
  exit 0
fi

# Prints the value of member $2 of the JSON object in file $1 ("null" when absent or null).
score() { jq -r --arg key "$2" '.[$key]' "$1"; }

# Renders scene $1 through camera file $2 ("" for the default camera) into folder $3, tracks it
# and scores it.
run_scene() {
  local scene="$1" camera="$2" dir="$3"
  local through=()
  [ -n "$camera" ] && through=(--camera "$camera")
  rm -rf "$dir"
  mkdir -p "$dir/frames"
  "$build/scene-render" --scene "$scene" "${through[@]}" --sequence "$dir/frames/dXXXXX.bmp" --truth "$dir/truth.csv"
  "$build/obstacle-track" "${through[@]}" --disparity "$dir/frames/dXXXXX.bmp" --quiet \
    --json "$dir/results.jsonl" --camera-out "$dir/camera.txt" 2>/dev/null
  rm -rf "$dir/frames"
  "$build/obstacle-eval" --truth "$dir/truth.csv" --results "$dir/results.jsonl" --camera "$dir/camera.txt"
  "$build/obstacle-eval" --truth "$dir/truth.csv" --results "$dir/results.jsonl" --camera "$dir/camera.txt" \
    --json > "$dir/scores.json"
}

# Holds the scores of scene $1 in $2 to the floors; counts the broken guards in `failed`.
hold_floors() {
  local name="$1" scores="$2" camera="$3"
  while read -r s key op limit _; do
    [ "$s" = "$name" ] || continue
    floor_held "$scores" "$key" "$op" "$limit" "$name through $camera" || failed=$((failed + 1))
  done < <(sed 's/#.*//' "$floors")
}

cameras=(default)
for file in "$root"/data/cameras/*.txt; do
  [ -e "$file" ] && cameras+=("$(basename "$file" .txt)")
done

failed=0
for camera in "${cameras[@]}"; do
  file=""
  [ "$camera" = default ] || file="$root/data/cameras/$camera.txt"
  for scene in "$root"/data/scenes/*.txt; do
    name="$(basename "$scene" .txt)"
    [ "$name" = floors ] && continue
    dir="$out/$camera/$name"
    echo "== scene $name through the $camera camera"
    run_scene "$scene" "$file" "$dir"
    hold_floors "$name" "$dir/scores.json" "$camera"
  done
done

echo "== scores side by side"
printf '%-48s' "scene score (floor)"
printf ' %12s' "${cameras[@]}"
echo
while read -r s key op limit _; do
  [ -n "$s" ] || continue
  printf '%-48s' "$s $key ($op $limit)"
  for camera in "${cameras[@]}"; do printf ' %12s' "$(score "$out/$camera/$s/scores.json" "$key")"; done
  echo
done < <(sed 's/#.*//' "$floors")

if [ "$failed" -gt 0 ]; then
  echo "scene scores: $failed guards broken"
  exit 1
fi
echo "scene scores: every guard held"
