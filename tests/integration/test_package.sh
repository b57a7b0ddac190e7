# Package inspection on the sample packages through Wine's msi.dll: related-product detection against
# installed versions, unreadable package files, the Feature table with and without language transforms.

SOURCE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
SAMPLES="$BUILD_WIN64/samples"
PACKAGE_X64="$SAMPLES/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
UPGRADE_CODE_TEXT="{7EE5EC71-BCAE-4CF2-BE7C-3293248DF529}"

# Runs msiprobe with the arguments; sets PROBE_OUT (its output) and PROBE_CODE (its exit code).
probe() {
    PROBE_CODE=0
    PROBE_OUT=$(wine "$TOOLS_DIR/msiprobe.exe" "$@" 2>>"$TEST_DIR/wine-stderr.txt") || PROBE_CODE=$?
}

# The detection of the x64 6.7.3.319 package must give this state, product codes, matched versions and
# displayed installed version.
assert_detection() {
    local state="$1" codes="$2" versions="$3" installed="$4" package="${5:-$PACKAGE_X64}"
    probe detect "$(winpath "$package")"
    assert_eq "$PROBE_CODE" "$state" "exit code of the detection of $(basename "$package")"
    assert_text "$PROBE_OUT" "$(printf 'state: %s\nproduct codes: %s\nversions: %s\ninstalled version: %s' \
        "$state" "$codes" "$versions" "$installed")" "detection of $(basename "$package")"
}

install_package() {
    run_windows 'C:\windows\system32\msiexec.exe' /i "$(winpath "$SAMPLES/$1")" /qn
    wineserver -w
    assert_eq "$EXIT_CODE" "0" "msiexec /i $1"
}

# The package's features as msiprobe prints them (Feature, parent, title, description, Display, Level,
# disallowAbsent), in the order of "ORDER BY Display,Feature_Parent".
base_features() {
    tr '|' '\t' <<'ROWS'
MainFeature||KELVARO VOV Client|The KELVARO VOV Client application. This feature is always installed.|1|1|1
FeatureOutlookCalendar|FeatureOutlook|Calendar Synchronisation||2|1|0
FeatureOutlook|MainFeature|Outlook Integration|Dial and journal calls from Microsoft Outlook.|3|1|0
FeatureFax||Fax Printer|Send faxes from any application through the KELVARO fax printer.|4|1|0
FeatureSnomD7||Snom D7 Phone Driver|USB driver for the Snom D7 expansion module.|5|1|0
FeatureUnifiedCollaborationApi||Unified Communication API|Lets Microsoft Office show presence and start calls through the client.|6|1|0
FeatureDiagnostics|MainFeature|Diagnostic Tools|Tools for the KELVARO support team.|7|3|0
ROWS
}

# The base rows with the titles and descriptions of one language from the translation table
# (an empty translated description keeps the package's).
translated_features() {
    local language="$1"
    awk -F '\t' -v OFS='\t' -v lang="$language" '
        NR == FNR { if ($1 == lang) { title[$2] = $3; text[$2] = $4 } next }
        { if ($1 in title) { $3 = title[$1]; if (text[$1] != "") $4 = text[$1] } print }
    ' "$SOURCE_ROOT/samples/feature-translations.tsv" <(base_features)
}

test_package_inspection_with_nothing_installed() {
    new_prefix
    assert_detection 0 "" "" ""

    # Files that are no package: detection 4, feature reading reports the failed open; neither crashes.
    local bad="$TEST_DIR/bad"
    mkdir -p "$bad"
    : >"$bad/empty.msi"
    head -c 10000 "$PACKAGE_X64" >"$bad/truncated.msi"
    head -c 20000 /dev/urandom >"$bad/random.msi"
    local name
    for name in missing.msi empty.msi truncated.msi random.msi; do
        assert_detection 4 "" "" "" "$bad/$name"
        probe features "$(winpath "$bad/$name")"
        assert_eq "$PROBE_CODE" "1" "exit code of the feature reading of $name"
        [[ "$PROBE_OUT" =~ ^open\ database:\ [1-9][0-9]*$ ]] || fail "feature reading of $name: [$PROBE_OUT]"
    done
    rm -rf "$bad"

    probe features "$(winpath "$PACKAGE_X64")"
    assert_eq "$PROBE_CODE" "0" "exit code of the feature reading"
    assert_text "$PROBE_OUT" "$(base_features)" "features"

    local language expected
    for language in 1031 1036 1043; do
        expected=$(translated_features "$language")
        probe features "$(winpath "$PACKAGE_X64")" "$language"
        assert_text "$PROBE_OUT" "apply transform :$language: 0"$'\n'"$expected" "features with transform $language"
    done
    # Spot checks that the expected texts really are the translations.
    probe features "$(winpath "$PACKAGE_X64")" 1031
    [[ "$PROBE_OUT" == *$'FeatureFax\t\tFaxdrucker\tFaxe aus jeder Anwendung über den KELVARO-Faxdrucker senden.\t4\t1\t0'* ]] ||
        fail "German fax title missing"
    probe features "$(winpath "$PACKAGE_X64")" 1036
    [[ "$PROBE_OUT" == *$'FeatureDiagnostics\tMainFeature\tOutils de diagnostic\t'* ]] || fail "French title missing"

    # A transform the package does not hold fails and leaves the base language.
    probe features "$(winpath "$PACKAGE_X64")" 1049
    local first rest
    first=$(head -n 1 <<<"$PROBE_OUT")
    rest=$(tail -n +2 <<<"$PROBE_OUT")
    [[ "$first" =~ ^apply\ transform\ :1049:\ [1-9][0-9]*$ ]] || fail "missing transform applied: [$first]"
    assert_text "$rest" "$(base_features)" "features after a missing transform"
}

test_package_lower_then_same_version_installed() {
    new_prefix
    install_package KELVARO_UCC_Client_for_64bit_Windows_v6.6.2.100.msi
    assert_detection 1 "{8FF40B9E-CFC3-4D78-83D4-1AA2288BEC90}" "6.6.2100" "6.6.2.100"

    # The upgrade removes 6.6.2.100; the same version is then all there is.
    install_package KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi
    assert_detection 2 "{23EA6169-CCA9-4815-96BF-5AC4082FE794}" "6.7.3319" "6.7.3.319"

    # The trace of the detection on the real package: one product found and matched by the same-version row.
    probe --trace detect "$(winpath "$PACKAGE_X64")"
    local matches
    matches=$(grep -E '^trace: (Found|Version match|Add new|Add product|Existing)' <<<"$PROBE_OUT" | sort | uniq -c | sed 's/^ *//')
    assert_text "$matches" "$(cat <<LINES
1 trace: Add product ID to existing action property
3 trace: Found installed related product: {23EA6169-CCA9-4815-96BF-5AC4082FE794}
1 trace: Version match: current == min == max
LINES
)" "matching traces"
    grep -qx "trace: Looking for: $UPGRADE_CODE_TEXT, min: 6.7.3319, max: 6.7.3319, action property: SAMEVERSIONDETECTED" \
        <<<"$PROBE_OUT" || fail "trace of the same-version row missing"
}

test_package_higher_version_is_listed_alone() {
    new_prefix
    install_package KELVARO_UCC_Client_for_64bit_Windows_v6.8.1.0.msi
    assert_detection 3 "{BC77E1FC-63A4-456A-AADA-11209BEA66F4}" "6.8.1000" "6.8.1.0"

    # The 32-bit 6.7.3.319 shares the upgrade code and only detects the newer one, so both stay installed:
    # the newer product wins over the same version, and only its code is listed.
    install_package KELVARO_UCC_Client_for_32bit_Windows_v6.7.3.319.msi
    # Versions in row order: the same-version row (stored first) matches 6.7.3319, the newer-version row 6.8.1000.
    assert_detection 3 "{BC77E1FC-63A4-456A-AADA-11209BEA66F4}" "6.7.3319 6.8.1000" "6.8.1.0"
}
