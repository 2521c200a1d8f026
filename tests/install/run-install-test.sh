#!/usr/bin/env bash
# Installs Quarrow with scripts/install into temporary prefixes, HOME and XDG folders in a
# temporary folder, checks every installed piece (F1 included, through install_help_test),
# then uninstalls with scripts/uninstall and checks that the prefixes and the registry store
# are as they were. No network, no root.
#   run-install-test.sh SOURCE_DIR BUILD_DIR INSTALL_HELP_TEST
set -uo pipefail
src="$1" build="$2" help_test="$3"

work="$(mktemp -d "${TMPDIR:-/tmp}/quarrow-install-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_STATE_HOME="$HOME/.local/state" XDG_RUNTIME_DIR="$work/runtime"
export XDG_CONFIG_DIRS="$work/etc-xdg" XDG_DATA_DIRS="$work/share"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
store="$XDG_CONFIG_HOME/Orlendi/registry.ini"
host_manifest="$XDG_CONFIG_HOME/chromium/NativeMessagingHosts/vek_ie_tbextension.vekietbintegration.json"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }
# A value of the Quarrow key in the current user's store (empty when missing).
value() {
  awk -v name="$1" '
    /^\[/ { in_key = ($0 == "[Software\\Orlendi\\Quarrow]") ; next }
    in_key && index($0, name "=") == 1 { print substr($0, length(name) + 2) }' "$store" 2>/dev/null
}
listing() { (cd "$1" && find . | LC_ALL=C sort); }

install_into() { "$src/scripts/install" "$1" "$build" >/dev/null || fail "scripts/install $1 failed"; }
uninstall_from() { "$src/scripts/uninstall" "$1" >/dev/null || fail "scripts/uninstall $1 failed"; }

# Round 1: a prefix that already holds a shared folder with another program's menu entry,
# another program, and a store with another program's key.
prefix="$work/pre fix"
mkdir -p "$prefix/share/applications" "$prefix/bin" "$(dirname "$store")"
printf '[Desktop Entry]\nType=Application\nName=Other\nExec=other\n' >"$prefix/share/applications/other.desktop"
printf '#!/bin/sh\n' >"$prefix/bin/other-tool"
printf '[Software\\Orlendi\\Other]\nKept=yes\n\n' >"$store"
listing "$prefix" >"$work/before"

install_into "$prefix"
for program in quarrow quarrow-cli quarrow-browser-host; do
  [ -f "$prefix/bin/$program" ] && [ -x "$prefix/bin/$program" ] || fail "bin/$program is not an executable file"
done
"$prefix/bin/quarrow-cli" --version >/dev/null 2>&1 || fail "the installed quarrow-cli does not run"

manual="$prefix/share/quarrow/help/index.html"
[ -f "$manual" ] || fail "the manual's contents page is not installed: $manual"
# Every page and picture the manual links to is installed with it.
for page in "$prefix"/share/quarrow/help/*.html; do
  [ -f "$page" ] || continue
  grep -oE '(href|src)="[^"]*"' "$page" | sed -E 's/^(href|src)="([^"#]*).*/\2/' | while IFS= read -r link; do
    case "$link" in '' | http:* | https:* | mailto:* | about:* | chrome:*) continue ;; esac
    [ -e "$(dirname "$page")/$link" ] || echo "$(basename "$page") links to a missing $link"
  done
done >"$work/broken-links"
[ -s "$work/broken-links" ] && fail "broken links in the manual: $(cat "$work/broken-links")"

for page in quarrow quarrow-cli quarrow-browser-host; do
  man_page="$prefix/share/man/man1/$page.1"
  if [ ! -f "$man_page" ]; then
    fail "man page $page.1 is not installed"
  elif command -v man >/dev/null; then
    warnings="$(MANWIDTH=80 man --warnings -l -Tutf8 "$man_page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
  fi
done

desktop="$prefix/share/applications/quarrow.desktop"
if [ -f "$desktop" ]; then
  out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate rejects quarrow.desktop: $out"
  expect_eq "menu entry's Exec" "$(sed -n 's/^Exec=//p' "$desktop")" "\"$prefix/bin/quarrow\" --url %u"
  expect_eq "menu entry's Icon" "$(sed -n 's/^Icon=//p' "$desktop")" "quarrow"
else
  fail "quarrow.desktop is not installed"
fi
[ -f "$prefix/share/icons/hicolor/scalable/apps/quarrow.svg" ] || fail "the icon is not installed"
[ -f "$prefix/share/quarrow/browser-extension/manifest.json" ] || fail "the browser extension is not installed"
[ -x "$prefix/libexec/quarrow/quarrow-install-registry" ] || fail "libexec/quarrow/quarrow-install-registry is missing"

expect_eq "ProgramPath" "$(value ProgramPath)" "$prefix/bin/quarrow"
expect_eq "HelpFilePath" "$(value HelpFilePath)" "$manual"
grep -qF "\"path\": \"$prefix/bin/quarrow-browser-host\"" "$host_manifest" 2>/dev/null ||
  fail "the browser host is not registered with its installed path"

# F1 in the main window, with a recording xdg-open first on PATH.
mkdir -p "$work/fake-bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"$QUARROW_XDG_OPEN_LOG"\n' >"$work/fake-bin/xdg-open"
chmod +x "$work/fake-bin/xdg-open"
f1_out="$(PATH="$work/fake-bin:$PATH" QT_QPA_PLATFORM=offscreen QUARROW_INSTALL_CONFIG_HOME="$XDG_CONFIG_HOME" \
  QUARROW_XDG_OPEN_LOG="$work/xdg-open.log" QUARROW_INSTALLED_MANUAL="$manual" "$help_test" 2>&1)"
if [ $? -ne 0 ] || ! grep -q '^\[  PASSED  \] 1 test' <<<"$f1_out" || grep -q SKIPPED <<<"$f1_out"; then
  fail "F1 did not open the installed manual: $f1_out"
fi

uninstall_from "$prefix"
listing "$prefix" >"$work/after"
diff -u "$work/before" "$work/after" >"$work/diff" || fail "uninstall left the prefix changed: $(cat "$work/diff")"
expect_eq "ProgramPath after uninstall" "$(value ProgramPath)" ""
expect_eq "HelpFilePath after uninstall" "$(value HelpFilePath)" ""
grep -q '^Kept=yes$' "$store" || fail "uninstall lost another program's registry value"
[ ! -e "$host_manifest" ] || fail "uninstall left the browser host registered"

# Round 2: a prefix that does not exist yet, installed twice; meanwhile ProgramPath came to
# name another installation, which uninstall must leave alone.
fresh="$work/fresh/prefix"
install_into "$fresh"
install_into "$fresh"
expect_eq "HelpFilePath after a reinstall" "$(value HelpFilePath)" "$fresh/share/quarrow/help/index.html"
sed -i "s|^ProgramPath=.*|ProgramPath=/opt/elsewhere/bin/quarrow|" "$store"
uninstall_from "$fresh"
[ ! -e "$work/fresh" ] || fail "uninstall left behind: $(cd "$work" && find fresh)"
expect_eq "ProgramPath of another installation" "$(value ProgramPath)" "/opt/elsewhere/bin/quarrow"
expect_eq "HelpFilePath after the second uninstall" "$(value HelpFilePath)" ""

# Round 3: a new user's home and the default prefix. Uninstall leaves the home as it was:
# no emptied browser folders, no empty key or store. The XDG base folder ~/.config, once
# made, stays (empty), as it does after any program.
home3="$work/home3"
mkdir -p "$home3"
listing "$home3" >"$work/home-before"
(
  export HOME="$home3" XDG_CONFIG_HOME="$home3/.config" XDG_DATA_HOME="$home3/.local/share"
  export XDG_CACHE_HOME="$home3/.cache" XDG_STATE_HOME="$home3/.local/state"
  "$src/scripts/install" "$home3/.local" "$build" >/dev/null || exit 1
  [ -f "$home3/.mozilla/native-messaging-hosts/vek_ie_tbextension.vekietbintegration.json" ] || exit 2
  "$src/scripts/uninstall" "$home3/.local" >/dev/null || exit 3
) || fail "install and uninstall in a new user's home failed ($?)"
if [ -d "$home3/.config" ] && [ -z "$(ls -A "$home3/.config")" ]; then
  listing "$home3" | grep -vx './.config' >"$work/home-after"
else
  listing "$home3" >"$work/home-after"
fi
diff -u "$work/home-before" "$work/home-after" >"$work/home-diff" ||
  fail "uninstall left the new user's home changed: $(cat "$work/home-diff")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install and uninstall: all checks passed"
