#!/usr/bin/env bash
# Serves the demo gallery on 127.0.0.1, lists it and harvests it with quarrow-cli into a
# temporary folder, then says where the files are; with a display it then opens the
# desktop program on the same page. Called by `make demo` after the build.
#   demo/run-demo.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
server="$build/demo/quarrow-gallery-server"
cli="$build/cli/quarrow-cli"
for f in "$server" "$cli"; do
  [ -x "$f" ] || { echo "run-demo: $f is missing; run 'make demo'" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/quarrow-demo.XXXXXX")"
# A home of its own, so the demo runs with the default options whatever the user saved.
mkdir -p "$work/home"
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"

# About 1 MB/s per connection, so the live progress can be watched for a moment.
"$server" --gallery demo --rate 1048576 --port-file "$work/port" >/dev/null &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || { echo "run-demo: the gallery server did not start" >&2; exit 1; }
url="http://127.0.0.1:$(cat "$work/port")/gallery/index.html"

echo "Demo gallery: $url"
echo
echo "quarrow-cli --list (id, kind, address, file name of every link whose file type is wanted;"
echo "the size range is not applied here: a file outside it is listed, then skipped by the harvest):"
"$cli" --list "$url"
echo
echo "quarrow-cli -d $work/downloads $url"
status=0
"$cli" -d "$work/downloads" "$url" || status=$?
echo
echo "The harvested files are in $work/downloads:"
ls -l "$work/downloads"
if [ -n "${DISPLAY:-}" ] && [ -x "$build/app/quarrow" ]; then
  # Same private home, so the desktop program also starts as a new user would.
  echo
  echo "A display is present: quarrow --url $url (close its window to end the demo)"
  "$build/app/quarrow" --url "$url" || true
fi
exit "$status"
