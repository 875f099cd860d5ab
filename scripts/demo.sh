#!/usr/bin/env bash
# Sets everything up, then runs the main job on the bundled sample data: a
# copy of the sample tariff gets the sample price list.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --program-only

scratch=$(mktemp -d "${TMPDIR:-/tmp}/preisliste-demo.XXXXXX")
cp data/sample/Numbers.mdb "$scratch/Numbers.mdb"
printf '[Options]\nDB Path=%s\nMwSt=19\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\n' "$scratch" \
  > "$scratch/Telvoro.ini"
echo "Tarifdatenbank (Kopie): $scratch/Numbers.mdb"
./build/preisliste update --settings "$scratch/Telvoro.ini" --file data/sample/preise.csv "$@"
