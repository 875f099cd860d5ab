#!/usr/bin/env bash
# Takes the picture of the window for the README: the window right after
# start-up with the sample data, on a virtual X display, saved as
# docs/window.png. A local web server plays the price-list server, so that
# the status line shows the sample list's date.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ -x build/preisliste ] || bash scripts/setup.sh --program-only

scratch=$(mktemp -d "${TMPDIR:-/tmp}/preisliste-bild.XXXXXX")
server_pid=
cleanup() {
  [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/Telvoro" "$scratch/Preislisten" "$scratch/www/kvtedx"
cp data/sample/Numbers.mdb "$scratch/Telvoro/Numbers.mdb"
cp data/sample/preise.csv "$scratch/Preislisten/preise.csv"
cp data/sample/preise.csv "$scratch/www/kvtedx/getpricelist.php"
printf '[Options]\nDB Path=%s/Telvoro\nProviderAccountUserId=10472\nMwSt=19\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\n' \
  "$scratch" > "$scratch/Telvoro/Telvoro.ini"

server=
if command -v python3 >/dev/null; then
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$scratch/www" >/dev/null 2>&1 &
  server_pid=$!
  server="http://127.0.0.1:$port"
  sleep 1
fi

mkdir -p docs
(
  cd "$scratch/Preislisten"
  TELVORO_SETTINGS="$scratch/Telvoro/Telvoro.ini" PREISLISTE_SERVER="$server" \
    PREISLISTE_SCREENSHOT="$root/docs/window.png" QT_QPA_PLATFORM=xcb LANG=de_DE.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$root/build/preisliste"
)
echo "docs/window.png"
