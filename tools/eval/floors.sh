# Sourced by the score scripts: holds a score to its floor.
# floor_held SCORES_JSON KEY OP LIMIT LABEL succeeds when member KEY of the JSON object in file
# SCORES_JSON is a number for which "OP LIMIT" (>= or <=) holds; else it says
# "FLOOR BROKEN: LABEL: KEY = VALUE, required OP LIMIT" and fails.
floor_held() {
  local scores="$1" key="$2" op="$3" limit="$4" label="$5" value
  value="$(jq -r --arg key "$key" '.[$key]' "$scores")"
  if [ -n "$value" ] && [ "$value" != null ] &&
     awk -v v="$value" -v op="$op" -v l="$limit" 'BEGIN { exit !((op == ">=" && v + 0 >= l + 0) || (op == "<=" && v + 0 <= l + 0)) }'; then
    return 0
  fi
  echo "FLOOR BROKEN: $label: $key = ${value:-missing}, required $op $limit"
  return 1
}
