#!/usr/bin/env bash
# Runs K replicates of one settings file, each in its own working folder with
# its own RandomSeed, in parallel on this machine (GNU parallel).
#
#   tools/run_replicates.sh [options] SETTINGS_FILE K     all replicates 1..K
#   tools/run_replicates.sh [options] -r R SETTINGS_FILE  replicate R only
#
# Options:
#   -j JOBS   replicates running at the same time (default: the number of cores)
#   -s SEED   base seed: replicate R runs with RandomSeed = SEED + R
#             (default: the RandomSeed of the settings file, else 0)
#   -o DIR    folder that receives the replicate folders
#             (default: replicates_<settings file name without .txt> in the current folder)
#   -b PATH   the vastrid2 program (default: $VASTRID2, else vastrid2 on the PATH,
#             else build/vastrid2 of this repository)
#   -r R      prepare and run replicate R only; GNU parallel is not needed
#             (this is what tools/slurm_replicates.sh runs in every array task)
#
# Replicate R lives in DIR/rep_RRR (R with at least three digits). The folder
# mirrors the settings file's folder with symbolic links to its files (earlier
# outputs left out: GeneticsOutput/, vastrid2.log, *_output.txt, partial_*),
# holds a copy of the settings file with "RandomSeed=SEED+R" appended (the
# last value of a key wins), and receives every output of the run: the log,
# GeneticsOutput/, the arrival-time file, the maps. Its console output goes to
# console.txt and its exit status to exit_status. DIR/replicates.tsv lists
# replicate, seed, exit status and folder. Rerunning a replicate (same
# settings, same base seed, same R) gives the same outputs, byte for byte.
#
# Exit status: 0 when every replicate exited with 0; 1 otherwise, or for bad
# arguments (the message says which).
set -euo pipefail

usage() {
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 1
}

fail() {
  echo "run_replicates.sh: $*" >&2
  exit 1
}

jobs="$(nproc 2>/dev/null || echo 1)"
base_seed=""
out_dir=""
binary="${VASTRID2:-}"
only=""
while getopts ":j:s:o:b:r:h" option; do
  case "$option" in
    j) jobs="$OPTARG" ;;
    s) base_seed="$OPTARG" ;;
    o) out_dir="$OPTARG" ;;
    b) binary="$OPTARG" ;;
    r) only="$OPTARG" ;;
    h) usage ;;
    :) fail "option -$OPTARG needs a value" ;;
    *) fail "unknown option -$OPTARG (see -h)" ;;
  esac
done
shift $((OPTIND - 1))

is_count() { [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -ge 1 ]; }
is_integer() { [[ "$1" =~ ^-?[0-9]+$ ]]; }

if [ -n "$only" ]; then
  [ $# -eq 1 ] || fail "with -r give only the settings file (see -h)"
  is_count "$only" || fail "the replicate number given with -r must be 1 or more, not '$only'"
else
  [ $# -eq 2 ] || usage
  is_count "$2" || fail "the number of replicates must be 1 or more, not '$2'"
fi
is_count "$jobs" || fail "the number of jobs given with -j must be 1 or more, not '$jobs'"
settings="$1"
[ -f "$settings" ] || fail "cannot read the settings file '$settings'"

settings_dir="$(cd "$(dirname "$settings")" && pwd -P)"
settings_name="$(basename "$settings")"

# The value of a settings key as the program reads it: the last line wins, a
# "#" starts a comment, blanks around key and value are dropped.
setting_value() {
  sed -e 's/#.*//' -e 's/\r$//' "$settings_dir/$settings_name" |
    awk -F= -v key="$1" '{
        k = $1; gsub(/^[ \t]+|[ \t]+$/, "", k)
        if (k != key || index($0, "=") == 0) next
        v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v)
        if (v != "") value = v
      } END { print value }'
}

if [ -z "$base_seed" ]; then
  base_seed="$(setting_value RandomSeed)"
  [ -n "$base_seed" ] || base_seed=0
fi
is_integer "$base_seed" || fail "the base seed must be an integer, not '$base_seed'"

# Outputs are written next to these files: inside the replicate folder they
# must stay, or the replicates would overwrite each other's.
for key in SampleFile ArrivalCellFile ArrivalMapFile FinalDensityMapFile; do
  value="$(setting_value "$key")"
  case "$value" in
    /* | ../* | */../* | .. | */..)
      fail "$key = '$value' in '$settings' lies outside the settings file's folder: the" \
        "replicates would write their outputs to the same place. Name it relative to" \
        "that folder, without '..'." ;;
  esac
done

if [ -z "$out_dir" ]; then out_dir="replicates_${settings_name%.txt}"; fi
mkdir -p "$out_dir"
out_dir="$(cd "$out_dir" && pwd -P)"
# Marks a replicate root, so that no later replicate run links it as input.
touch "$out_dir/.vastrid2_replicates"

if [ -z "$binary" ]; then
  if command -v vastrid2 >/dev/null 2>&1; then
    binary="$(command -v vastrid2)"
  else
    binary="$(cd "$(dirname "$0")/.." && pwd -P)/build/vastrid2"
  fi
fi
[ -x "$binary" ] || fail "cannot run the vastrid2 program '$binary' (give it with -b or \$VASTRID2)"
binary="$(cd "$(dirname "$binary")" && pwd -P)/$(basename "$binary")"

replicate_dir() { printf '%s/rep_%03d' "$out_dir" "$1"; }

# Builds the folder of replicate $1 and runs it; returns the program's status.
run_one() {
  local r="$1"
  local seed=$((base_seed + r))
  local dir
  dir="$(replicate_dir "$r")"
  if [ -e "$dir" ]; then
    [ -f "$dir/.vastrid2_replicate" ] ||
      fail "'$dir' exists and is not a replicate folder: move it away first"
    rm -rf "$dir"
  fi
  mkdir -p "$dir"
  touch "$dir/.vastrid2_replicate"

  # Folders to leave out: replicate roots (this one included) and earlier outputs.
  local prune=(-path "$out_dir")
  local root
  while IFS= read -r root; do prune+=(-o -path "$root"); done < <(
    find "$settings_dir" -name .vastrid2_replicates -printf '%h\n' 2>/dev/null)
  local entry relative
  while IFS= read -r -d '' entry; do
    relative="${entry#"$settings_dir"/}"
    if [ -d "$entry" ]; then
      mkdir -p "$dir/$relative"
    elif [ "$relative" != "$settings_name" ]; then
      ln -s "$entry" "$dir/$relative"
    fi
  done < <(find "$settings_dir" -mindepth 1 \( "${prune[@]}" -o -name GeneticsOutput \
    -o -name 'partial_*' -o -name vastrid2.log -o -name '*_output.txt' \
    -o -name .vastrid2_replicate -o -name console.txt -o -name exit_status \) -prune \
    -o -print0)

  {
    cat "$settings_dir/$settings_name"
    printf '\n# Replicate %d (tools/run_replicates.sh, base seed %s)\nRandomSeed=%d\n' \
      "$r" "$base_seed" "$seed"
  } >"$dir/$settings_name"

  local status=0
  (cd "$dir" && "$binary" "$settings_name" </dev/null >console.txt 2>&1) || status=$?
  echo "$status" >"$dir/exit_status"
  printf '%d\t%d\t%d\t%s\n' "$r" "$seed" "$status" "$dir"
  return "$status"
}

if [ -n "$only" ]; then
  run_one "$only"
  exit $?
fi

count="$2"
command -v parallel >/dev/null 2>&1 ||
  fail "GNU parallel is missing (Debian: apt-get install parallel); run single replicates with -r"
export -f run_one replicate_dir fail
export base_seed out_dir binary settings_dir settings_name
status=0
parallel --will-cite --jobs "$jobs" --keep-order run_one {} ::: $(seq 1 "$count") \
  >"$out_dir/replicates.tsv.new" || status=$?
{
  printf 'replicate\tseed\texit_status\tfolder\n'
  cat "$out_dir/replicates.tsv.new"
} >"$out_dir/replicates.tsv"
rm -f "$out_dir/replicates.tsv.new"
cat "$out_dir/replicates.tsv"
if [ "$status" -ne 0 ]; then
  echo "run_replicates.sh: $status of $count replicates failed: see console.txt in their folders" >&2
  exit 1
fi
