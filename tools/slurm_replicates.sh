#!/usr/bin/env bash
# Replicates of one settings file as a Slurm job array: array task R runs
# replicate R exactly as tools/run_replicates.sh does (same folders, same
# seeds), so the outputs of a cluster run and of a run on one machine are the
# same. Submit it from the folder where the replicate folders should go:
#
#   sbatch --array=1-100 path/to/tools/slurm_replicates.sh SETTINGS_FILE [BASE_SEED [DIR]]
#
# BASE_SEED: replicate R runs with RandomSeed = BASE_SEED + R (default: the
# RandomSeed of the settings file, else 0). DIR: folder of the replicate
# folders (default: replicates_<settings file name without .txt> in the
# submission folder). The program is $VASTRID2, else vastrid2 on the PATH, else
# build/vastrid2 of this repository. Slurm runs a copy of this script, so the
# repository's tools/ folder is found through $VASTRID2_TOOLS when set, else
# as tools/ of the submission folder.
#
# Adjust the resources below to the run: memory grows with land cells x
# EndTime (the log of a first run gives the history size).
#SBATCH --job-name=vastrid2-replicates
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --mem=4G
#SBATCH --time=04:00:00
#SBATCH --output=slurm-%A_%a.out
set -euo pipefail

if [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
  echo "slurm_replicates.sh: submit it as a job array: sbatch --array=1-K $0 SETTINGS_FILE" >&2
  exit 1
fi
if [ $# -lt 1 ] || [ $# -gt 3 ]; then
  echo "slurm_replicates.sh: usage: sbatch --array=1-K $0 SETTINGS_FILE [BASE_SEED [DIR]]" >&2
  exit 1
fi

tools="${VASTRID2_TOOLS:-}"
if [ -z "$tools" ]; then
  here="$(cd "$(dirname "$0")" && pwd -P)"
  if [ -f "$here/run_replicates.sh" ]; then
    tools="$here"
  else
    tools="${SLURM_SUBMIT_DIR:-.}/tools"
  fi
fi
[ -f "$tools/run_replicates.sh" ] ||
  { echo "slurm_replicates.sh: no run_replicates.sh in '$tools' (set VASTRID2_TOOLS)" >&2; exit 1; }

options=(-r "$SLURM_ARRAY_TASK_ID")
if [ $# -ge 2 ]; then options+=(-s "$2"); fi
if [ $# -ge 3 ]; then options+=(-o "$3"); fi
exec bash "$tools/run_replicates.sh" "${options[@]}" "$1"
