#!/usr/bin/env bash
# The browser button end to end: a headless browser loads the extension (a test build that
# adds test-hook.js), opens a page served on 127.0.0.1 (and then a tab that is not a web
# page), and the action path on the page starts quarrow-browser-host, registered in a
# private profile, which starts the fake quarrow with the page's address.
#   run-browser-e2e.sh chromium|firefox HOST_BINARY FAKE_PROGRAM [launch|no-program-path]
# With no-program-path nothing records where quarrow is: the page's action must show
# "Could not locate Quarrow!" titled "Error Launching Quarrow" and start nothing.
# Everything lives in a temporary folder that HOME and XDG_* point at; exit 0 on success,
# 77 when the browser is not installed.
set -euo pipefail

browser=$1
host=$(realpath "$2")
fake=$(realpath "$3")
scenario=${4:-}
[ "$scenario" = launch ] && scenario=""
case "$browser" in
chromium) command -v chromium >/dev/null || { echo "SKIP: chromium is not installed"; exit 77; } ;;
firefox) command -v firefox-esr >/dev/null || { echo "SKIP: firefox-esr is not installed"; exit 77; } ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
source_ext=$(cd "$here/../../../browserext/extension" && pwd)
timeout_s=${QUARROW_E2E_TIMEOUT:-40}

work=$(mktemp -d /tmp/quarrow-browser-e2e.XXXXXX)
server_pid=""
browser_pid=""
cleanup() {
  for pid in $browser_pid $server_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "${QUARROW_E2E_KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/browser.log" ] && grep -v -e dbus -e 'unexpected operator' "$work/browser.log" | tail -n 30 >&2; exit 1; }

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
       XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_DIRS=$work/etc-xdg
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_DIRS"
chmod 700 "$XDG_RUNTIME_DIR"
export QUARROW_FAKE_RECORD=$work/argv

# The program path as installation records it, in the current user's store; the program
# sits in a folder whose name has a blank.
mkdir -p "$work/Quarrow Programs" "$XDG_CONFIG_HOME/Orlendi"
ln -s "$fake" "$work/Quarrow Programs/quarrow"
if [ "$scenario" != no-program-path ]; then
  printf '[Software\\Orlendi\\Quarrow]\nProgramPath=%s\n' "$work/Quarrow Programs/quarrow" \
    > "$XDG_CONFIG_HOME/Orlendi/registry.ini"
fi
"$host" --register || fail "quarrow-browser-host --register"

python3 "$here/e2e-server.py" "$work/port" "$work/reports" &
server_pid=$!
for _ in $(seq 100); do [ -f "$work/port" ] && break; sleep 0.05; done
[ -f "$work/port" ] || fail "the test server did not start"
port=$(cat "$work/port")

# The test build: the extension as shipped, plus the hook and where it reports.
ext=$work/extension
cp -r "$source_ext" "$ext"
cp "$here/test-hook.js" "$ext/"
echo "const QUARROW_TEST_REPORT = \"http://127.0.0.1:$port/report\";" > "$ext/test-config.js"
python3 - "$ext/manifest.json" <<'PY'
import json, sys
path = sys.argv[1]
m = json.load(open(path))
m["background"] = {"service_worker": "test-hook.js",
                   "scripts": ["test-config.js", "background.js", "test-hook.js"]}
json.dump(m, open(path, "w"), indent=2)
PY

# Blanks, quotes and semicolons in the address; the browser escapes what a URL must.
page="http://127.0.0.1:$port/my%20gallery;v=1/index.html?q=a%20b;c='d'&e=\"f\"#quarrow-test-click"

case "$browser" in
chromium)
  root_flags=()
  [ "$(id -u)" -eq 0 ] && root_flags=(--no-sandbox)
  # Headless Chromium reads host manifests from the profile, not from the config folder.
  profile=$XDG_CONFIG_HOME/chromium
  [ -f "$profile/NativeMessagingHosts/vek_ie_tbextension.vekietbintegration.json" ] \
    || fail "no host manifest in $profile/NativeMessagingHosts"
  chromium --headless=new "${root_flags[@]}" --user-data-dir="$profile" \
    --no-first-run --no-default-browser-check --disable-gpu --enable-logging=stderr \
    --disable-features=DisableLoadExtensionCommandLineSwitch \
    --load-extension="$ext" --disable-extensions-except="$ext" \
    "$page" >"$work/browser.log" 2>&1 &
  browser_pid=$!
  ;;
firefox)
  profile=$work/firefox-profile
  mkdir -p "$profile/extensions"
  (cd "$ext" && python3 -c 'import sys,zipfile,os
z=zipfile.ZipFile(sys.argv[1],"w")
for d,_,fs in os.walk("."):
    for f in fs: z.write(os.path.join(d,f), os.path.relpath(os.path.join(d,f)))' \
    "$profile/extensions/quarrow@orlendi.org.xpi")
  cat > "$profile/user.js" <<JS
user_pref("xpinstall.signatures.required", false);
user_pref("extensions.autoDisableScopes", 0);
user_pref("extensions.enabledScopes", 15);
user_pref("extensions.startupScanScopes", 15);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("extensions.webextensions.restrictedDomains", "");
JS
  MOZ_HEADLESS=1 firefox-esr --headless --no-remote --profile "$profile" "$page" \
    >"$work/browser.log" 2>&1 &
  browser_pid=$!
  ;;
*) fail "unknown browser $browser" ;;
esac

# Both tabs report; the page's report comes with the host's reply.
deadline=$((SECONDS + timeout_s))
while [ "$SECONDS" -lt "$deadline" ]; do
  [ -f "$work/reports" ] && [ "$(wc -l < "$work/reports")" -ge 2 ] && break
  sleep 0.2
done
[ -f "$work/reports" ] || fail "no report from the extension within ${timeout_s}s"
echo "reports:"; cat "$work/reports"

sleep 0.5 # a program started late would still be seen
python3 - "$work/reports" "$work/argv" "$work/Quarrow Programs/quarrow" "$scenario" <<'PY' || fail "unexpected outcome"
import json, os, sys
reports = [json.loads(l) for l in open(sys.argv[1])]
assert not [r for r in reports if "failure" in r], reports
web = [r for r in reports if r["url"].startswith("http://127.0.0.1:")]
other = [r for r in reports if r["url"].startswith("about:")]
assert len(web) == 1, f"page reports: {web}"
assert web[0]["enabled"] == "true", "action disabled on the web page"
assert len(other) == 1 and other[0]["enabled"] == "false", f"not-a-web-page reports: {other}"
assert other[0]["reply"] == "null" and other[0]["shown"] == "null"
if sys.argv[4] == "no-program-path":
    reply = json.loads(web[0]["reply"])
    assert (reply["error"], reply["title"]) == ("Could not locate Quarrow!", "Error Launching Quarrow"), reply
    assert json.loads(web[0]["shown"]) == {"title": "Error Launching Quarrow", "error": "Could not locate Quarrow!"}
    assert not os.path.exists(sys.argv[2]), "a program was started"
    print("shown:", web[0]["shown"])
    sys.exit(0)
assert json.loads(web[0]["reply"]) == {"ok": True}, f"host reply: {web[0]['reply']}"
assert web[0]["shown"] == "null", web[0]["shown"]
assert os.path.exists(sys.argv[2]), "the fake quarrow was not started"
argv = open(sys.argv[2], "rb").read().split(b"\0")[:-1]
argv = [a.decode() for a in argv]
print("fake quarrow argv:", argv)
assert argv == [sys.argv[3], "-o", "--url", web[0]["url"]], argv
PY
echo "PASS: $browser ${scenario:-launch}"
