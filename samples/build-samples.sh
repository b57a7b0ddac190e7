#!/bin/bash
# Builds the stand-in KELVARO VOV Client packages (both architectures, three
# versions) from VovClient.wxs, fixes the table values wixl does not write,
# embeds the language transforms 1031/1036/1043 and checks the result.
#
#   build-samples.sh OUTDIR            build every package into OUTDIR
#   build-samples.sh --verify OUTDIR   build, then open every package with
#                                      Wine's msi.dll and apply each embedded
#                                      transform (tools/check_package.c)
#   build-samples.sh --verify-install OUTDIR
#                                      as --verify, then install, upgrade and
#                                      remove packages with Wine's msiexec
#
# needs: wixl msitools python3
# needs for --verify only: wine64 gcc-mingw-w64-x86-64-posix
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
TRANSFORMS_TOOL="$HERE/tools/msi_transforms.py"
TRANSLATIONS="$HERE/feature-translations.tsv"
EXPECTED_FEATURES="$HERE/expected-Feature.tsv"
UPGRADE_CODE="{7EE5EC71-BCAE-4CF2-BE7C-3293248DF529}"
LANGUAGES=(1031 1036 1043)

# version  arch  ProductCode  output file
PACKAGES=(
  "6.7.3319 x86 {E529135A-5E03-4FA7-AD61-A2FD6EA717BC} KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi"
  "6.7.3319 x64 {23EA6169-CCA9-4815-96BF-5AC4082FE794} KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
  "6.6.2100 x86 {DADCA83E-18BF-46F2-A08D-32467CD329C7} KELVARO_UCC_Client_for_32bit_Windows_v6.6.2.100.msi"
  "6.6.2100 x64 {8FF40B9E-CFC3-4D78-83D4-1AA2288BEC90} KELVARO_UCC_Client_for_64bit_Windows_v6.6.2.100.msi"
  "6.8.1000 x86 {BE8AE63D-65F5-40F7-8CDC-01E645D3FBF7} KELVARO_UCC_Client_for_32bit_Windows_v6.8.1.0.msi"
  "6.8.1000 x64 {BC77E1FC-63A4-456A-AADA-11209BEA66F4} KELVARO_UCC_Client_for_64bit_Windows_v6.8.1.0.msi"
)

die() { echo "build-samples: $*" >&2; exit 1; }

VERIFY=0
case "${1:-}" in
  --verify) VERIFY=1; shift ;;
  --verify-install) VERIFY=2; shift ;;
esac
[ $# -eq 1 ] || die "usage: build-samples.sh [--verify|--verify-install] OUTDIR"
mkdir -p "$1"
OUTDIR="$(cd "$1" && pwd)"
WORK="$OUTDIR/.samples-work"

for tool in wixl msiinfo msibuild python3; do
  command -v "$tool" >/dev/null || die "$tool not found (apt-get install wixl msitools python3)"
done

# Data rows of `msiinfo export PACKAGE TABLE`, without carriage returns.
table_rows() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r'; }
expected_feature_rows() { grep -v '^#' "$EXPECTED_FEATURES"; }

# Writes an .idt file: the three header lines of the exported table, then ROWS (stdin).
write_idt() {
  local pkg="$1" table="$2" out="$3"
  { msiinfo export "$pkg" "$table" | sed -n 1,3p; sed 's/$/\r/'; } > "$out"
}

# Feature: Display and Attributes (bit 0x10 for Absent="disallow") come from
# expected-Feature.tsv; wixl numbers Display itself and drops Absent.
patch_features() {
  local pkg="$1" dir="$2"
  table_rows "$pkg" Feature \
    | awk -F'\t' -v OFS='\t' -v want="$EXPECTED_FEATURES" '
        BEGIN { while ((getline line < want) > 0) {
                  if (line ~ /^#/) continue
                  split(line, f, "\t"); display[f[1]] = f[5]; attrs[f[1]] = f[8] } }
        { if (!($1 in display)) { print "unexpected feature " $1 > "/dev/stderr"; exit 1 }
          $5 = display[$1]; $8 = attrs[$1]; print }' \
    | write_idt "$pkg" Feature "$dir/Feature.idt"
}

# Upgrade: wixl drops IncludeMaximum; SAMEVERSIONDETECTED needs bit 0x200.
patch_upgrade() {
  local pkg="$1" dir="$2"
  table_rows "$pkg" Upgrade \
    | awk -F'\t' -v OFS='\t' '
        $7 == "SAMEVERSIONDETECTED" && int($5 / 512) % 2 == 0 { $5 += 512 }
        { print }' \
    | write_idt "$pkg" Upgrade "$dir/Upgrade.idt"
}

# Property: wixl has no Property/@Secure; the command-line properties the
# package writes to the registry must reach the server side of a managed install.
SECURE_EXTRA="CUSTOMCONFIGFILES;RUNAFTERINSTALL"
patch_properties() {
  local pkg="$1" dir="$2"
  table_rows "$pkg" Property \
    | awk -F'\t' -v OFS='\t' -v extra="$SECURE_EXTRA" '
        $1 == "SecureCustomProperties" { $2 = $2 ";" extra }
        { print }' \
    | write_idt "$pkg" Property "$dir/Property.idt"
}

check_tables() {
  local pkg="$1" version="$2"
  diff <(expected_feature_rows | sort) <(table_rows "$pkg" Feature | sort) >&2 \
    || die "$pkg: Feature table differs from expected-Feature.tsv"
  local want
  want="$(printf '%s\t%s\t%s\t\t%s\t\t%s\n' \
    "$UPGRADE_CODE" "$version" ""         2   NEWERVERSIONDETECTED \
    "$UPGRADE_CODE" "$version" "$version" 770 SAMEVERSIONDETECTED \
    "$UPGRADE_CODE" 0.0.0      "$version" 256 OLDERVERSIONBEINGUPGRADED | sort)"
  diff <(echo "$want") <(table_rows "$pkg" Upgrade | sort) >&2 \
    || die "$pkg: Upgrade table is not as expected"
  local secure
  secure="$(table_rows "$pkg" Property | awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }')"
  [ "$secure" = "NEWERVERSIONDETECTED;SAMEVERSIONDETECTED;OLDERVERSIONBEINGUPGRADED;$SECURE_EXTRA" ] \
    || die "$pkg: SecureCustomProperties is '$secure'"
  local storages
  storages="$(python3 "$TRANSFORMS_TOOL" storages "$pkg" | cut -f1 | tr '\n' ' ')"
  [ "$storages" = "${LANGUAGES[*]} " ] || die "$pkg: embedded storages are '$storages'"
}

build_package() {
  local version="$1" arch="$2" product_code="$3" name="$4"
  local dir="$WORK/${name%.msi}"
  local pkg="$dir/$name"
  rm -rf "$dir" "$OUTDIR/$name"
  mkdir -p "$dir"
  # wixl resolves File/@Source relative to the current directory.
  (cd "$HERE" && wixl -a "$arch" -D Version="$version" -D ProductCode="$product_code" \
      -D Arch="$arch" -o "$pkg" VovClient.wxs) || die "wixl failed for $name"
  # The package is written with the neutral codepage; transforms with French
  # and German texts need a real one, and transforms must share it.
  printf '\r\n\r\n1252\t_ForceCodepage\r\n' > "$dir/_ForceCodepage.idt"
  msibuild "$pkg" -i "$dir/_ForceCodepage.idt" || die "setting the codepage failed for $name"
  patch_features "$pkg" "$dir"
  patch_upgrade "$pkg" "$dir"
  patch_properties "$pkg" "$dir"
  msibuild "$pkg" -i "$dir/Feature.idt" -i "$dir/Upgrade.idt" -i "$dir/Property.idt" || die "msibuild failed for $name"
  python3 "$TRANSFORMS_TOOL" embed "$pkg" "$TRANSLATIONS" || die "embedding transforms failed for $name"
  check_tables "$pkg" "$version"
  mv "$pkg" "$OUTDIR/$name"
  rm -rf "$dir"
  echo "built $name"
}

# Value NAME under HKLM\SOFTWARE\KELVARO\VOV Client in registry VIEW (32|64),
# or "<missing>" when the value or key does not exist.
client_reg_value() {
  local out
  out="$(wine reg query 'HKLM\SOFTWARE\KELVARO\VOV Client' /v "$1" "/reg:$2" 2>/dev/null | tr -d '\r')" \
    || { echo "<missing>"; return; }
  printf '%s\n' "$out" | awk -v name="$1" '
    { sub(/^ +/, "") }
    index($0, name "    REG_SZ    ") == 1 { print substr($0, length(name) + 15); found = 1 }
    END { if (!found) print "<missing>" }'
}

product_registered() {  # ProductCode -> "yes"/"no" (either registry view)
  local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'"$1"
  if wine reg query "$key" /reg:64 >/dev/null 2>&1 || wine reg query "$key" /reg:32 >/dev/null 2>&1; then
    echo yes
  else
    echo no
  fi
}

installed_files() {  # "Program Files" folder name -> sorted file names, space-separated
  local dir="$WINEPREFIX/drive_c/$1/KELVARO/VOV Client"
  if [ -d "$dir" ]; then (cd "$dir" && ls | sort | tr '\n' ' '); fi
}

expect() {  # description, wanted, actual
  if [ "$2" = "$3" ]; then
    echo "  ok   $1"
  else
    echo "  FAIL $1: wanted '$2', got '$3'" >&2
    INSTALL_FAILED=1
  fi
}

msiexec_rc() {  # msiexec arguments -> prints the exit code
  local rc=0
  wine msiexec "$@" || rc=$?
  echo "$rc"
}

verify_install() {
  local vdir="$1" logdir="$1/logs"
  local x86_67="KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi" x86_67_code="{E529135A-5E03-4FA7-AD61-A2FD6EA717BC}"
  local x64_67="KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi" x64_67_code="{23EA6169-CCA9-4815-96BF-5AC4082FE794}"
  local x64_66="KELVARO_UCC_Client_for_64bit_Windows_v6.6.2.100.msi" x64_66_code="{8FF40B9E-CFC3-4D78-83D4-1AA2288BEC90}"
  local pf64="Program Files" pf32="Program Files (x86)"
  mkdir -p "$logdir"
  INSTALL_FAILED=0

  echo "install check: $x64_67 with ADDLOCAL=MainFeature,FeatureFax"
  expect "msiexec /i exit code" 0 "$(msiexec_rc /i "Z:$OUTDIR/$x64_67" /qn ADDLOCAL=MainFeature,FeatureFax \
      'CUSTOMCONFIGFILES=C:\cfg\a.xml;C:\cfg\b.xml' /lvoicewarmupx "Z:$logdir/x64-install.log")"
  expect "files in $pf64" "FeatureFax.txt MainFeature.txt " "$(installed_files "$pf64")"
  expect "Version (64-bit view)" 6.7.3319 "$(client_reg_value Version 64)"
  expect "CustomConfigFiles" 'C:\cfg\a.xml;C:\cfg\b.xml' "$(client_reg_value CustomConfigFiles 64)"
  expect "RunAfterInstall (property not given)" "" "$(client_reg_value RunAfterInstall 64)"
  expect "nothing in the 32-bit view" "<missing>" "$(client_reg_value Version 32)"
  expect "msiexec /x exit code" 0 "$(msiexec_rc /x "$x64_67_code" /qn)"
  expect "files after removal" "" "$(installed_files "$pf64")"
  expect "Version after removal" "<missing>" "$(client_reg_value Version 64)"

  echo "install check: $x86_67 with ADDLOCAL=MainFeature,FeatureFax"
  expect "msiexec /i exit code" 0 "$(msiexec_rc /i "Z:$OUTDIR/$x86_67" /qn ADDLOCAL=MainFeature,FeatureFax \
      RUNAFTERINSTALL=1 /lvoicewarmupx "Z:$logdir/x86-install.log")"
  expect "files in $pf32" "FeatureFax.txt MainFeature.txt " "$(installed_files "$pf32")"
  expect "Version (32-bit view)" 6.7.3319 "$(client_reg_value Version 32)"
  expect "RunAfterInstall" 1 "$(client_reg_value RunAfterInstall 32)"
  expect "CustomConfigFiles (property not given)" "" "$(client_reg_value CustomConfigFiles 32)"
  expect "msiexec /x exit code" 0 "$(msiexec_rc /x "$x86_67_code" /qn)"
  expect "files after removal" "" "$(installed_files "$pf32")"

  echo "install check: $x64_67 over $x64_66"
  expect "msiexec /i 6.6.2100 exit code" 0 "$(msiexec_rc /i "Z:$OUTDIR/$x64_66" /qn ADDLOCAL=ALL \
      /lvoicewarmupx "Z:$logdir/old-install.log")"
  expect "6.6.2100 files" "FeatureDiagnostics.txt FeatureFax.txt FeatureOutlook.txt FeatureOutlookCalendar.txt FeatureSnomD7.txt FeatureUnifiedCollaborationApi.txt MainFeature.txt " "$(installed_files "$pf64")"
  expect "msiexec /i 6.7.3319 exit code" 0 "$(msiexec_rc /i "Z:$OUTDIR/$x64_67" /qn ADDLOCAL=MainFeature \
      /lvoicewarmupx "Z:$logdir/upgrade.log")"
  expect "OLDERVERSIONBEINGUPGRADED" "Property(S): OLDERVERSIONBEINGUPGRADED = $x64_66_code" \
      "$(grep -a 'Property(S): OLDERVERSIONBEINGUPGRADED' "$logdir/upgrade.log" | tr -d '\r')"
  expect "6.6.2100 registered" no "$(product_registered "$x64_66_code")"
  expect "6.7.3319 registered" yes "$(product_registered "$x64_67_code")"
  expect "files after the upgrade" "MainFeature.txt " "$(installed_files "$pf64")"
  expect "Version after the upgrade" 6.7.3319 "$(client_reg_value Version 64)"
  expect "msiexec /x exit code" 0 "$(msiexec_rc /x "$x64_67_code" /qn)"
  expect "6.7.3319 registered after removal" no "$(product_registered "$x64_67_code")"
  return "$INSTALL_FAILED"
}

verify_packages() {
  command -v x86_64-w64-mingw32-gcc-posix >/dev/null || die "x86_64-w64-mingw32-gcc-posix not found"
  command -v wine >/dev/null || die "wine not found"
  local vdir="$WORK/verify"
  rm -rf "$vdir"
  mkdir -p "$vdir"
  x86_64-w64-mingw32-gcc-posix -municode -O2 -Wall -o "$vdir/check_package.exe" \
    "$HERE/tools/check_package.c" -lmsi || die "compiling check_package.c failed"
  export WINEPREFIX="$vdir/prefix" WINEDEBUG=-all
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wineboot -i >"$vdir/wineboot.log" 2>&1 || die "wineboot failed (see $vdir/wineboot.log)"
  local entry failed=0
  [ "$VERIFY" = 2 ] && { verify_install "$vdir" || failed=1; }
  for entry in "${PACKAGES[@]}"; do
    set -- $entry
    local name="$4"
    python3 "$TRANSFORMS_TOOL" expected-check "$OUTDIR/$name" "$TRANSLATIONS" > "$vdir/expected.txt"
    if ! wine "$vdir/check_package.exe" "Z:$OUTDIR/$name" "${LANGUAGES[@]}" \
          > "$vdir/actual.txt" 2> "$vdir/actual.err"; then
      cat "$vdir/actual.err" >&2
      echo "FAIL $name: check_package failed" >&2; failed=1; continue
    fi
    if ! diff "$vdir/expected.txt" "$vdir/actual.txt" >&2; then
      echo "FAIL $name: Feature rows under Wine differ" >&2; failed=1; continue
    fi
    echo "verified $name: storages ${LANGUAGES[*]}, translated Feature rows"
  done
  wineserver -k 2>/dev/null || true
  trap - EXIT
  [ "$failed" = 0 ] || die "verification failed"
  rm -rf "$vdir"
}

for entry in "${PACKAGES[@]}"; do
  build_package $entry
done
if [ "$VERIFY" != 0 ]; then
  verify_packages
fi
rmdir "$WORK" 2>/dev/null || true
