#!/usr/bin/env bash
# Scores the pipeline on the scenes of data/scenes: renders each sequence through a camera, runs
# obstacle-track on it with that camera, prints obstacle-eval's table (judged with the camera the
# run wrote) and holds the scores of every camera to the same floors, data/scenes/floors.txt.
# Last, a table of each floor's scores side by side, one column per camera.
# Which cameras: a scene data/scenes/NAME.txt goes through the default camera and through each
# camera of data/cameras; a scene data/scenes/CAMERA/NAME.txt only through data/cameras/CAMERA.txt
# (a scene that only makes sense at that rig's picture or frame rate). Scene names are unique.
# Ego motion: a scene that gives the car's own motion (an `ego` statement) writes its camera's
# poses, and obstacle-track is given them with --poses.
#   tools/eval/score-scenes.sh BUILD_DIR [OUT_DIR]
# BUILD_DIR holds scene-render, obstacle-track and obstacle-eval; OUT_DIR (default
# BUILD_DIR/scene-scores) receives, per camera and scene, CAMERA/SCENE/truth.csv, results.jsonl,
# camera.txt and scores.json, and poses.txt for a scene with ego motion.
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

# Prints the value of member $2 of the JSON object in file $1 ("null" when absent or null, "-"
# when the scene was not scored through that camera).
score() {
  if [ -e "$1" ]; then jq -r --arg key "$2" '.[$key]' "$1"; else echo "-"; fi
}

# Renders scene $1 through camera file $2 ("" for the default camera) into folder $3, tracks it
# and scores it.
run_scene() {
  local scene="$1" camera="$2" dir="$3"
  local through=() poses_out=() ego=()
  [ -n "$camera" ] && through=(--camera "$camera")
  if grep -q '^[[:space:]]*ego[[:space:]]' "$scene"; then
    poses_out=(--poses-out "$dir/poses.txt")
    ego=(--poses "$dir/poses.txt")
  fi
  rm -rf "$dir"
  mkdir -p "$dir/frames"
  "$build/scene-render" --scene "$scene" "${through[@]}" --sequence "$dir/frames/dXXXXX.bmp" --truth "$dir/truth.csv" \
    "${poses_out[@]}"
  "$build/obstacle-track" "${through[@]}" "${ego[@]}" --disparity "$dir/frames/dXXXXX.bmp" --quiet \
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
  for scene in "$root"/data/scenes/*.txt "$root/data/scenes/$camera"/*.txt; do
    [ -e "$scene" ] || continue
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
