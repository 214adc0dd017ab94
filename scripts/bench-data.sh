# Sourced by the benchmark scripts, with $root, $build and $data set: makes
# the generated journals, once per size and again when the generator
# changes; a run that breaks off leaves only a .partial folder, never a half
# cache.
generator_hash=$(sha256sum "$root/bench/generate_journal.cpp" | cut -d' ' -f1)
generate() {
  local size=$1 rows=$2 dir="$data/$1"
  if [[ -f "$dir/data/peden.dbf" && "$(cat "$dir/generator.sha256" 2>/dev/null)" == "$generator_hash" ]]; then
    return
  fi
  rm -rf "$dir" "$dir.partial"
  mkdir -p "$data"
  "$build/mincar-gen" "$dir.partial" "$rows" 1
  echo "$generator_hash" >"$dir.partial/generator.sha256"
  mv "$dir.partial" "$dir"
}
generate 100k 100000
generate 1m 1000000
