#!/usr/bin/env bash
# msi_test.sh SCRATCH MSI NEXT_MSI SHORTCUT_PROBE WORKSTATION TERMINAL OBJDUMP
#
# What a desk team does with Ardmon's package, under wine in a prefix of its
# own (kept beside SCRATCH between runs): a silent install for a copy of the
# demo WORKSTATION (with the stand-in TERMINAL), the upgrade to NEXT_MSI, a
# repair, Ardmon started from the installed shortcut, the older package
# refused, ledgra.dll added, and the removal, which must leave the
# workstation's files byte for byte as they were and nothing else behind.
set -euo pipefail
scratch=$1 msi=$2 next_msi=$3 probe=$4 workstation=$5 terminal=$6 objdump=$7

fail() { echo "FAIL: $*" >&2; exit 1; }

export WINEPREFIX=$scratch.wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"  # no desktop entries in $HOME
trap 'wineserver -k 2>/dev/null || true' EXIT

# A prefix that still holds Ardmon from an interrupted run is made afresh.
if [ -d "$WINEPREFIX" ] && grep -qi 'Halvo' "$WINEPREFIX/system.reg" 2>/dev/null; then
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Made without a display; its server must be gone before a window opens.
  DISPLAY= wineboot -u >/dev/null 2>&1 || true
  wineserver -w
fi

rm -rf "$scratch"
desk="$scratch/Halvo Terminal"  # as desks name it: with a space
mkdir -p "$desk"
cp -R "$workstation/." "$desk/"
cp "$terminal" "$desk/VovuvAvavar.exe"
chmod -R u+w "$desk"
snapshot() { (cd "$desk" && find . -type f | LC_ALL=C sort | xargs -d '\n' sha256sum); }
snapshot >"$scratch/before.sum"

desk_w=$(winepath -w "$desk")
drive_c=$WINEPREFIX/drive_c
installed="$drive_c/Program Files/Halvo/Ardmon"

# run_msiexec STEP ARGS...: one run with a verbose log; prints wine's exit status.
# A run that fails before writing its log never reached the installer (seen
# once on a loaded machine with a new prefix): it is tried once more.
run_msiexec() {
  local step=$1; shift
  local status=0
  wine msiexec "$@" /qn /l*v "$(winepath -w "$scratch/$step.log")" || status=$?
  if [ "$status" != 0 ] && [ ! -f "$scratch/$step.log" ]; then
    wineserver -w
    status=0
    wine msiexec "$@" /qn /l*v "$(winepath -w "$scratch/$step.log")" || status=$?
  fi
  echo "$status"
}
expect_ok() {
  local status
  status=$(run_msiexec "$@")
  [ "$status" = 0 ] || { tail -n 40 "$scratch/$1.log" >&2 || true; fail "$1: msiexec exit status $status"; }
}
# The installed products named Ardmon, as "name version" lines.
products() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY_/ { if (n == "Ardmon") print n, v; n = v = "" }
         $1 == "DisplayName" { n = $3 } $1 == "DisplayVersion" { v = $3 }
         END { if (n == "Ardmon") print n, v }'
}
# Wine puts the shortcut into the installing user's Start menu, Windows into all users'.
shortcut() { find "$drive_c" -name Ardmon.lnk -path '*Start Menu*' | head -n1; }
msi_w() { winepath -w "$1"; }
property() { msiinfo export "$1" Property | tr -d '\r' | awk -v p="$2" '$1 == p { print $2 }'; }
next_version=$(property "$next_msi" ProductVersion)

# Install for the desk's folder: Ardmon.exe under Program Files, nothing in the desk.
expect_ok install /i "$(msi_w "$msi")" "TERMINALDIR=$desk_w"
[ -f "$installed/Ardmon.exe" ] || fail "no $installed/Ardmon.exe"
[ -f "$installed/ardmon-cli.exe" ] || fail "no $installed/ardmon-cli.exe beside Ardmon.exe"
[ -n "$(shortcut)" ] || fail "no Start-menu shortcut Ardmon.lnk"
snapshot | diff -u "$scratch/before.sum" - || fail "the install changed the workstation"
# Ardmon.exe needs only the system's DLLs (no MinGW runtime beside it).
for exe in Ardmon.exe ardmon-cli.exe; do
  for dll in $("$objdump" -p "$installed/$exe" | awk '/DLL Name:/ { print $3 }'); do
    [ -n "$(find "$drive_c/windows/system32" -maxdepth 1 -iname "$dll")" ] || fail "$exe needs $dll"
  done
done
# The command line by its full path (the installer leaves PATH alone) lists the desk.
wine "$installed/ardmon-cli.exe" --dir "$desk_w" list 2>/dev/null | tr -d '\r' >"$scratch/cli.txt" || true
printf 'DR.ini\nPROD.ini\nUAT.ini\nCurrent Environment: halvoclient.ini\n' | diff -u - "$scratch/cli.txt" ||
  fail "ardmon-cli.exe list in the desk"

# The next version replaces it, and a repair keeps the remembered folder.
expect_ok upgrade /i "$(msi_w "$next_msi")"
# (The properties that /fvomus stands for: wine's msiexec /f fails.)
expect_ok repair /i "$(msi_w "$next_msi")" REINSTALL=ALL REINSTALLMODE=vomus
[ "$(products)" = "Ardmon $next_version" ] || fail "installed after the upgrade: $(products)"

# Started as the shortcut starts it: Ardmon's window with the desk's profiles.
wine "$probe" "$(winepath -w "$(shortcut)")" 2>/dev/null | tr -d '\r' >"$scratch/probe.txt" || true
cat >"$scratch/probe.expected" <<EOF
target: C:\\Program Files\\Halvo\\Ardmon\\Ardmon.exe
working folder: $desk_w\\
window: Halvo Launcher
profile: DR.ini
profile: PROD.ini
profile: UAT.ini
EOF
diff -u "$scratch/probe.expected" "$scratch/probe.txt" || fail "Ardmon from its shortcut"

# The older package is refused, with the message in the package.
[ "$(run_msiexec downgrade /i "$(msi_w "$msi")")" != 0 ] || fail "the older version was installed over the newer"
[ "$(products)" = "Ardmon $next_version" ] || fail "installed after the refused downgrade: $(products)"
msiinfo export "$msi" LaunchCondition | grep -q "A newer version of Ardmon is already installed" ||
  fail "no message for a refused downgrade"

# The optional feature puts ledgra.dll beside the terminal.
expect_ok ledgra /i "$(msi_w "$next_msi")" ADDLOCAL=Ledgra
[ -f "$desk/ledgra.dll" ] || fail "no ledgra.dll in the terminal's folder"

# Removal: the workstation as it was, nothing of Ardmon left.
expect_ok remove /x "$(msi_w "$next_msi")"
snapshot | diff -u "$scratch/before.sum" - || fail "the workstation differs after the removal"
[ -z "$(products)" ] || fail "still installed: $(products)"
[ ! -e "$drive_c/Program Files/Halvo" ] || fail "Program Files\\Halvo is left"
[ -z "$(shortcut)" ] || fail "the shortcut is left"
! wine reg query 'HKLM\Software\Halvo' >/dev/null 2>&1 || fail "HKLM\\Software\\Halvo is left"
wineserver -w
echo "msi OK"
