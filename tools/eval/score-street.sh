#!/usr/bin/env bash
# Scores the pipeline on every real stretch in KITTI_DIR (read there, never copied into the
# repository). A stretch is a folder holding calib.txt and disp_sgbm/NNNNNN.png (KITTI's 16-bit
# disparity); for each one this runs obstacle-track through its calibration, with the options of
# data/street/NAME/options, and scores the run with obstacle-eval:
# - the street: the road against the road in its own disparities, the trajectories, and, where
#   the stretch has its ego motion (poses.txt, or else poses_vo.txt, an estimate), its static
#   obstacles against that motion (obstacle-eval --disparity [--poses]);
# - its object labels, where it has them (labels_tracking_cam0.txt, obstacle-eval --labels).
# It prints the tables, holds the scores (one JSON object, both evaluations' members) to
# data/street/NAME/floors, and ends with a table of every floor's scores, one column per stretch.
# A stretch without a folder of its own in data/street takes the general options and floors
# (data/street/options, data/street/floors): its calibration, the frame rate of its time stamps
# (or 10 per second), height and pitch left to the tracker. A floor whose score the stretch cannot
# have (no labels, no poses) is reported as not scored.
#   tools/eval/score-street.sh BUILD_DIR [OUT_DIR]
# KITTI_DIR defaults to ../shared/kitti beside the repository. OUT_DIR (default
# BUILD_DIR/street-scores) receives, per stretch, NAME/camera.txt, results.jsonl and scores.json.
# Exit status 1 when a guard fails, a step fails or no stretch is found.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1"
out="${2:-$build/street-scores}"
kitti="${KITTI_DIR:-$root/../shared/kitti}"
# shellcheck source=floors.sh
source "$root/tools/eval/floors.sh"

for program in obstacle-track obstacle-eval; do
  if [ ! -x "$build/$program" ]; then
    echo "street scores: $build/$program is not built" >&2
    exit 1
  fi
done

# The words of a file without its comments.
words() { sed 's/#.*//' "$1" | tr '\n' ' '; }

# The frames per second of a stretch's time stamps (KITTI raw's "DATE HH:MM:SS.NNN" or the odometry
# set's seconds, one line a frame), or 10 where it has none.
frame_rate() {
  local file stamps=""
  for file in "$1/timestamps_image_00.txt" "$1/times.txt"; do
    if [ -s "$file" ]; then
      stamps="$file"
      break
    fi
  done
  if [ -z "$stamps" ]; then
    echo 10
    return
  fi
  awk 'NF { n = split($NF, t, ":"); s = n == 3 ? t[1] * 3600 + t[2] * 60 + t[3] : $NF
            if (count++ == 0) first = s; last = s }
       END { if (count > 1 && last > first) printf "%.4g\n", (count - 1) / (last - first); else print 10 }' "$stamps"
}

# The ego motion of a stretch: its poses, or else their estimate; nothing where it has neither.
poses_of() {
  local file
  for file in "$1/poses.txt" "$1/poses_vo.txt"; do
    if [ -s "$file" ]; then
      echo "$file"
      return
    fi
  done
}

# Tracks stretch $1 (folder $2) into $3 and writes the scores to $3/scores.json.
score_stretch() {
  local name="$1" street="$2" dir="$3" config="$root/data/street"
  if [ -d "$config/$name" ]; then config="$config/$name"; fi
  local options
  read -ra options <<< "$(words "$config/options")"
  if [[ " ${options[*]} " != *" --fps "* ]]; then options+=(--fps "$(frame_rate "$street")"); fi
  local disparity="$street/disp_sgbm/XXXXXX.png"
  echo "== street $name: obstacle-track ${options[*]} (options and floors of ${config#"$root"/})"
  "$build/obstacle-track" --disparity "$disparity" --camera "$street/calib.txt" "${options[@]}" \
    --camera-out "$dir/camera.txt" --json "$dir/results.jsonl" --quiet
  local poses street_score=("$build/obstacle-eval" --disparity "$disparity" --results "$dir/results.jsonl"
                            --camera "$dir/camera.txt")
  poses="$(poses_of "$street")"
  if [ -n "$poses" ]; then street_score+=(--poses "$poses"); fi
  echo "-- the street${poses:+, against the ego motion of $(basename "$poses")}"
  "${street_score[@]}"
  "${street_score[@]}" --json > "$dir/street.json"
  local parts=("$dir/street.json")
  if [ -f "$street/labels_tracking_cam0.txt" ]; then
    local label_score=("$build/obstacle-eval" --labels "$street/labels_tracking_cam0.txt" --results "$dir/results.jsonl"
                       --camera "$dir/camera.txt")
    echo "-- the labelled objects"
    "${label_score[@]}"
    "${label_score[@]}" --json > "$dir/labels.json"
    parts+=("$dir/labels.json")
  fi
  jq -s add "${parts[@]}" > "$dir/scores.json"
}

# The floors that apply to stretch $1 (config folder or the general one).
floors_of() {
  if [ -f "$root/data/street/$1/floors" ]; then echo "$root/data/street/$1/floors"; else echo "$root/data/street/floors"; fi
}

# Holds the scores of stretch $1 to its floors; counts the broken guards in `failed`.
hold_floors() {
  local name="$1" scores="$out/$1/scores.json"
  while read -r key op limit _; do
    [ -n "$key" ] || continue
    if [ "$(jq --arg key "$key" 'has($key)' "$scores")" != true ]; then
      echo "not scored: street $name: $key (the stretch has no labels or no poses)"
      continue
    fi
    floor_held "$scores" "$key" "$op" "$limit" "street $name" || failed=$((failed + 1))
  done < <(sed 's/#.*//' "$(floors_of "$name")")
}

stretches=()
for street in "$kitti"/*/; do
  street="${street%/}"
  if [ -f "$street/calib.txt" ] && [ -f "$street/disp_sgbm/000000.png" ]; then
    stretches+=("$(basename "$street")")
  fi
done
if [ "${#stretches[@]}" -eq 0 ]; then
  echo "street scores: no KITTI stretch in $kitti (a folder with calib.txt and disp_sgbm/000000.png; set KITTI_DIR)" >&2
  exit 1
fi

rm -rf "$out"
failed=0
for name in "${stretches[@]}"; do
  mkdir -p "$out/$name"
  score_stretch "$name" "$kitti/$name" "$out/$name"
  hold_floors "$name"
done

echo "== street scores side by side"
printf '%-44s' "score"
printf ' %12s' "${stretches[@]}"
echo
# The keys of every stretch's floors, then the figures no floor holds, each once.
keys=()
while read -r key _; do
  if [ -n "$key" ] && [[ " ${keys[*]} " != *" $key "* ]]; then keys+=("$key"); fi
done < <(for name in "${stretches[@]}"; do sed 's/#.*//' "$(floors_of "$name")"; done
         printf '%s\n' trajectories confirmed_trajectories profile_own_frames profile_reseeded_frames profile_kept_frames)
for key in "${keys[@]}"; do
  printf '%-44s' "$key"
  for name in "${stretches[@]}"; do
    printf ' %12s' "$(jq -r --arg key "$key" 'if has($key) then .[$key] else "-" end' "$out/$name/scores.json")"
  done
  echo
done

if [ "$failed" -gt 0 ]; then
  echo "street scores: $failed guards broken"
  exit 1
fi
echo "street scores: every guard held"
