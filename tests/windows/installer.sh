#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The installer in a fresh Wine prefix, as on a machine that never had
# Zantrope: "/S" installs without a word, per user, with a Start menu link,
# an entry in Apps and "Open with" keys for every accepted type; the
# installed program joins; "/S" on its uninstaller takes away every file and
# key it made.
#   installer.sh SETUP.exe TYPES.nsh
set -eu
setup=$1
types=$2
work=$(mktemp -d)
# No menu entries on this machine's desktop for the Start menu's link.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
fail() {
  echo "installer: $*" >&2
  status=1
}
status=0

WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree,mshtml=" wineboot --init >/dev/null 2>&1
wineserver --wait
wine "$setup" /S >/dev/null 2>&1
wineserver --wait

profile=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData | grep -v /Public/ | head -1)
folder=$profile/Local/Programs/Zantrope
link=$profile/Roaming/Microsoft/Windows/Start\ Menu/Programs/Zantrope.lnk
for file in zantrope.exe zantrope.com readme.html LICENSE.txt THIRD-PARTY.txt uninstall.exe; do
  [ -f "$folder/$file" ] || fail "no $file in $folder"
done
[ -f "$link" ] || fail "no Start menu link"
registry=$WINEPREFIX/user.reg
key() { grep -qiF "[$1]" "$registry" || fail "no key $1"; }
key 'Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zantrope'
grep -qF '"QuietUninstallString"=' "$registry" || fail "no quiet uninstall in Apps"
key 'Software\\Classes\\Zantrope.Media\\shell\\open\\command'
for extension in $(sed -n 's/.*"\.\([a-z0-9]*\)".*/\1/p' "$types"); do
  # The type's own key, then Zantrope's value in it.
  awk -v key="[Software\\\\\\\\Classes\\\\\\\\.$extension\\\\\\\\OpenWithProgids]" \
    'index($0, key) == 1 { inside = 1; next } /^\[/ { inside = 0 } inside && /^"Zantrope.Media"=""/ { found = 1 }
     END { exit !found }' "$registry" || fail "no \"Open with\" for .$extension"
done

# The installed program joins.
printf 'one' > "$work/a.mpg"
printf 'two' > "$work/b.mpg"
(cd "$work" && wine "$folder/zantrope.com" --join out.mpg a.mpg b.mpg >/dev/null 2>&1) ||
  fail "the installed program did not join"
[ "$(cat "$work/out.mpg" 2>/dev/null)" = onetwo ] || fail "the installed program's join is not a.mpg and b.mpg"

wine "$folder/uninstall.exe" /S >/dev/null 2>&1
wineserver --wait
[ ! -e "$folder" ] || fail "the uninstaller left $(ls "$folder")"
[ ! -e "$link" ] || fail "the uninstaller left the Start menu link"
! grep -qi 'zantrope' "$registry" || fail "the uninstaller left keys: $(grep -i zantrope "$registry")"
exit $status
