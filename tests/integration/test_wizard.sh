# The wizard on a display: the pages for each install state, their texts, buttons and feature checks, the
# language change, dragging, and Cancel and close with their exit code. Screenshots of every page are kept
# in $TEST_DIR/screenshots.

source "$(dirname "${BASH_SOURCE[0]}")/gui.sh"

WIZ_PKG_DIR="$BUILD_WIN64/samples"
WIZ_PKG_66="$WIZ_PKG_DIR/KELVARO_UCC_Client_for_64bit_Windows_v6.6.2.100.msi"
WIZ_PKG_67="$WIZ_PKG_DIR/KELVARO_UCC_Client_for_64bit_Windows_v6.7.3.319.msi"
WIZ_PKG_68="$WIZ_PKG_DIR/KELVARO_UCC_Client_for_64bit_Windows_v6.8.1.0.msi"
WIZ_FEATURES_FR="Fonctionnalités"

# Installs a sample package with msiexec, as an earlier installation of the client would have.
wizard_msi_install() { msi_install_package "$@"; }

# A fresh prefix, a display and Setup.exe started without arguments; cleaned up when the test ends.
wizard_start() {
    gui_start_display
    trap gui_cleanup EXIT
    gui_start_setup
}

# Cancels the wizard with the Escape key and checks the exit code and the end of the log.
wizard_cancel_and_check() {
    gui_keys "$1" Escape
    assert_eq "$(gui_wait_exit)" "1602" "exit code after Cancel"
    assert_eq "$(log_entries | grep '^BootStrapper|' | tail -n 1)" "BootStrapper|Done" "last BootStrapper line"
    assert_eq "$(log_entries | grep -c '^InstallController|Cancel$')" "1" "Cancel lines"
    # The cancelled run removed its working folder as every other run does.
    assert_no_work_folder
}

# The side picture as a page shows it: a digest of the pixels inside control 1025 and their number of
# colours, from the screenshot just taken of that page.
wizard_side_picture() {  # WINDOW SCREENSHOT
    local left top right bottom
    IFS=, read -r left top right bottom <<<"$(gui_control_rect "$1" 1025)"
    convert "$TEST_DIR/screenshots/$2.png" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
        -format '%# %k' info:
}

# The visible page controls of the wizard, without the sheet's own frame and line controls.
wizard_page_texts() {
    gui_visible_controls "$1" | grep -v -E '^(0|1025|12326)\|'
}

test_wizard_new_installation_welcome_then_features() {
    new_prefix
    wizard_start
    gui_wait_window Welcome >/dev/null
    gui_screenshot welcome
    assert_text "$(wizard_page_texts Welcome)" "$(cat <<'LINES'
1026|Static|1|0|KELVARO VOV Client for Windows
1031|Static|1|0|Installer version: v6.7.3.319
1023|Static|1|0|Change setup &language:
1024|ComboBox|1|0|English
1030|Static|1|0|Click on 'Next' to proceed.
12323|Button|0|0|< &Back
12324|Button|1|0|&Next >
2|Button|1|0|Cancel
9|Button|1|0|Help
LINES
)" "welcome page"
    assert_text "$(gui_inspect Welcome | grep '^combo|')" "$(printf '%s\n' 'combo|1024|0|0|Deutsch' \
        'combo|1024|1|1|English' 'combo|1024|2|0|Français' 'combo|1024|3|0|Nederlands')" "language entries"
    # Page, labels and the sheet's button row on white; the side picture is not.
    assert_eq "$(gui_pixel welcome 450 250)" "#FFFFFF" "page background"
    assert_eq "$(gui_pixel welcome 250 340)" "#FFFFFF" "sheet background"
    [ "$(gui_pixel welcome 60 250)" != "#FFFFFF" ] || fail "the side picture is white"

    gui_keys Welcome alt+n
    gui_wait_window Features >/dev/null
    gui_screenshot features
    assert_text "$(gui_tree Features)" "$(cat <<'LINES'
0|0|KELVARO VOV Client
1|2|Outlook Integration
2|2|Calendar Synchronisation
1|1|Diagnostic Tools
0|2|Fax Printer
0|2|Snom D7 Phone Driver
0|2|Unified Communication API
LINES
)" "feature tree of a new installation"
    assert_eq "$(gui_control Features 1022)" "1022|Button|1|1|R&un KELVARO VOV Client after installation" \
        "run-after-install box"
    assert_eq "$(gui_control Features 12323)" "12323|Button|1|0|< &Back" "Back on the feature page"

    # Next hands the lists to the controller and shows the missing prerequisites (.NET is not in a fresh prefix).
    gui_keys Features alt+n
    gui_wait_log_line "InstallController|addlocal: MainFeature,FeatureOutlookCalendar,FeatureOutlook,FeatureFax,FeatureSnomD7,FeatureUnifiedCollaborationApi, remove: "
    gui_wait_window Prerequisites >/dev/null
    wizard_cancel_and_check Prerequisites
    assert_lines_in_order "$(log_entries)" \
        "BootStrapper|Initialize wizard " "BootStrapper|Not installed" "BootStrapper|Show wizard" \
        "CWelcomePage|OnSetActive" "CInstallController|Set install mode: InstallNewProduct" \
        "CFeatureSelectionPage|OnSetActive" "InstallController|Cancel" "BootStrapper|Wizard done" "BootStrapper|Done"
}

test_wizard_same_version_shows_maintenance_and_the_installed_features() {
    new_prefix
    wizard_msi_install "$WIZ_PKG_67" ADDLOCAL=MainFeature,FeatureFax
    wizard_start
    gui_keys Welcome alt+n
    gui_wait_window Maintenance >/dev/null
    gui_screenshot maintenance
    assert_text "$(wizard_page_texts Maintenance | grep -v '^1005|')" "$(cat <<'LINES'
1006|Button|1|1|Re&pair
1014|Button|1|0|Modi&fy
1007|Button|1|0|Re&move
1030|Static|1|0|Click on 'Next' to proceed.
12323|Button|1|0|< &Back
12324|Button|1|0|&Next >
2|Button|1|0|Cancel
9|Button|1|0|Help
LINES
)" "maintenance page"

    # Modify leads to the features, checked as installed.
    gui_keys Maintenance alt+f alt+n
    gui_wait_window Features >/dev/null
    gui_screenshot features-modify
    gui_wait_log_line "CInstallController|Set install mode: ModifyExistingProduct"
    assert_text "$(gui_tree Features)" "$(cat <<'LINES'
0|0|KELVARO VOV Client
1|1|Outlook Integration
2|1|Calendar Synchronisation
1|1|Diagnostic Tools
0|2|Fax Printer
0|1|Snom D7 Phone Driver
0|1|Unified Communication API
LINES
)" "feature tree of an installation with the fax printer"

    # The window's close command ends the wizard like Cancel.
    gui_close Features
    assert_eq "$(gui_wait_exit)" "1602" "exit code after closing"
    assert_eq "$(log_entries | grep '^BootStrapper|' | tail -n 1)" "BootStrapper|Done" "last BootStrapper line"
    assert_lines_in_order "$(log_entries)" "BootStrapper|Same version installed" "CRepairPage|OnSetActive" \
        "CFeatureSelectionPage|OnSetActive" "InstallController|Cancel"
}

test_wizard_lower_version_shows_update_with_both_versions() {
    new_prefix
    wizard_msi_install "$WIZ_PKG_66"
    wizard_start
    gui_keys Welcome alt+n
    gui_wait_window Update >/dev/null
    gui_screenshot update
    local installed
    installed=$(log_entries | sed -n 's/^InstallController|Installed version: //p')
    [ -n "$installed" ] || fail "no installed version in the log"
    assert_text "$(wizard_page_texts Update | grep -v '^1008|')" "$(cat <<LINES
1032|Static|1|0|Installed version: v$installed
1031|Static|1|0|Installer version: v6.7.3.319
1009|Button|1|1|&Update
1010|Button|1|0|Re&move
1030|Static|1|0|Click on 'Next' to proceed.
12323|Button|1|0|< &Back
12324|Button|1|0|&Next >
2|Button|1|0|Cancel
9|Button|1|0|Help
LINES
)" "update page"
    case "$installed" in 6.6.*) ;; *) fail "installed version $installed is not the 6.6 package's" ;; esac
    # Back returns to the welcome page, which sets a new installation again.
    gui_keys Update alt+b
    gui_wait_window Welcome >/dev/null
    # The same page in German.
    gui_keys Welcome alt+l Up
    gui_wait_window Willkommen >/dev/null
    gui_keys Willkommen alt+w
    gui_wait_window Aktualisierung >/dev/null
    gui_screenshot update-de
    assert_eq "$(gui_control Aktualisierung 1032)" "1032|Static|1|0|Installierte Version: v$installed" "German version line"
    wizard_cancel_and_check Aktualisierung
    assert_lines_in_order "$(log_entries)" "BootStrapper|Lower version installed" "CUpdatePage|OnSetActive" \
        "CWelcomePage|OnSetActive" "CInstallController|Set install mode: InstallNewProduct"
}

test_wizard_higher_version_next_only_while_removal_is_checked() {
    new_prefix
    wizard_msi_install "$WIZ_PKG_68"
    wizard_start
    gui_keys Welcome alt+n
    gui_wait_window Downgrade >/dev/null
    gui_screenshot downgrade
    gui_wait_control Downgrade 12324 "12324|Button|0|0|&Next >"
    assert_eq "$(gui_control Downgrade 1001)" "1001|Button|1|0|Remove existing product" "unchecked box"
    assert_eq "$(gui_control Downgrade 12323)" "12323|Button|1|0|< &Back" "Back"
    case "$(gui_control Downgrade 1032)" in "1032|Static|1|0|Installed version: v6.8."*) ;;
        *) fail "installed version line: $(gui_control Downgrade 1032)" ;; esac
    assert_eq "$(gui_control Downgrade 1031)" "1031|Static|1|0|Installer version: v6.7.3.319" "installer version"

    gui_click_control Downgrade 1001
    gui_wait_control Downgrade 12324 "12324|Button|1|0|&Next >"
    assert_eq "$(gui_control Downgrade 12323)" "12323|Button|1|0|< &Back" "Back stays enabled"
    gui_screenshot downgrade-checked
    gui_click_control Downgrade 1001
    gui_wait_control Downgrade 12324 "12324|Button|0|0|&Next >"
    wizard_cancel_and_check Downgrade
    assert_lines_in_order "$(log_entries)" "BootStrapper|Higher version installed" "CDownGradePage|OnSetActive"
}

test_wizard_language_change_restarts_in_german() {
    new_prefix
    wizard_start
    gui_wait_window Welcome >/dev/null
    gui_screenshot welcome-en
    local picture
    picture=$(wizard_side_picture Welcome welcome-en)
    # The one language-neutral picture: the same pixels in every language, and a picture, not a plain fill.
    [ "${picture##* }" -gt 1000 ] || fail "the side picture has ${picture##* } colours"
    gui_keys Welcome alt+l Up
    gui_wait_window Willkommen >/dev/null
    gui_screenshot welcome-de
    assert_eq "$(wizard_side_picture Willkommen welcome-de)" "$picture" "German side picture"
    assert_eq "$(gui_control Willkommen 1024)" "1024|ComboBox|1|0|Deutsch" "preselected language"
    assert_eq "$(gui_control Willkommen 1031)" "1031|Static|1|0|Setup-Version: v6.7.3.319" "version line"
    assert_text "$(gui_visible_controls Willkommen | grep -E '^(12323|12324|2|9)\|')" "$(cat <<'LINES'
12323|Button|0|0|< &Zurück
12324|Button|1|0|&Weiter >
2|Button|1|0|Abbrechen
9|Button|1|0|Hilfe
LINES
)" "German button captions"
    assert_lines_in_order "$(log_entries)" "BootStrapper|Initialize wizard " "CWelcomePage|Set localization: de-DE" \
        "BootStrapper|Wizard done" "BootStrapper|Initialize wizard 1031" "BootStrapper|Not installed" \
        "BootStrapper|Show wizard" "CWelcomePage|OnSetActive"
    assert_eq "$(log_entries | grep -c '^InstallController|Cancel$')" "0" "no Cancel on a restart"

    gui_keys Willkommen alt+w
    gui_wait_window Funktionen >/dev/null
    gui_screenshot features-de
    assert_text "$(gui_tree Funktionen)" "$(cat <<'LINES'
0|0|KELVARO VOV Client
1|2|Outlook-Integration
2|2|Kalendersynchronisation
1|1|Diagnosewerkzeuge
0|2|Faxdrucker
0|2|Snom-D7-Telefontreiber
0|2|Unified-Communication-API
LINES
)" "German feature titles"

    # Back to the welcome page and on to French and Dutch: every language's pages are shown in it.
    gui_keys Funktionen alt+z
    gui_wait_window Willkommen >/dev/null
    gui_keys Willkommen alt+s Down Down
    gui_wait_window Bienvenue >/dev/null
    gui_screenshot welcome-fr
    assert_eq "$(wizard_side_picture Bienvenue welcome-fr)" "$picture" "French side picture"
    assert_eq "$(gui_control Bienvenue 1024)" "1024|ComboBox|1|0|Français" "French preselected"
    gui_keys Bienvenue alt+s
    gui_wait_window "$WIZ_FEATURES_FR" >/dev/null
    gui_screenshot features-fr
    gui_keys "$WIZ_FEATURES_FR" alt+p
    gui_wait_window Bienvenue >/dev/null
    gui_keys Bienvenue alt+l Down
    gui_wait_window Welkom >/dev/null
    gui_screenshot welcome-nl
    assert_eq "$(wizard_side_picture Welkom welcome-nl)" "$picture" "Dutch side picture"
    assert_eq "$(gui_control Welkom 1024)" "1024|ComboBox|1|0|Nederlands" "Dutch preselected"
    gui_keys Welkom alt+v
    gui_wait_window Onderdelen >/dev/null
    gui_screenshot features-nl
    assert_lines_in_order "$(log_entries)" "CWelcomePage|Set localization: fr-FR" "BootStrapper|Initialize wizard 1036" \
        "CWelcomePage|Set localization: nl-NL" "BootStrapper|Initialize wizard 1043"
    wizard_cancel_and_check Onderdelen
}

test_wizard_moves_when_dragged_by_the_page_background() {
    new_prefix
    wizard_start
    local id before after
    id=$(gui_wait_window Welcome)
    before=$(xdotool getwindowgeometry "$id" | sed -n 's/ *Position: \([0-9]*,[0-9]*\).*/\1/p')
    local left top right bottom
    IFS=, read -r left top right bottom <<<"$(gui_control_rect Welcome 1030)"
    # A press on the empty page area above the "Click on 'Next'" line, then a move by (+40, +30).
    xdotool mousemove --sync $((left + 20)) $((top - 40)) mousedown 1
    xdotool mousemove --sync $((left + 40)) $((top - 25))
    xdotool mousemove --sync $((left + 60)) $((top - 10)) mouseup 1
    # The window follows each move; wait until it has followed the last one (or five seconds passed).
    local i bx by ax ay
    IFS=, read -r bx by <<<"$before"
    for ((i = 0; i < 50; i++)); do
        after=$(xdotool getwindowgeometry "$id" | sed -n 's/ *Position: \([0-9]*,[0-9]*\).*/\1/p')
        IFS=, read -r ax ay <<<"$after"
        [ "$((ax - bx)),$((ay - by))" = "40,30" ] && break
        sleep 0.1
    done
    assert_eq "$((ax - bx)),$((ay - by))" "40,30" "window moved by the mouse's way"
    wizard_cancel_and_check Welcome
}

# Without a desktop (no display here) the wizard cannot be shown: the run ends as a cancellation does (1602), with
# nothing run, and a line tells it from one (Wine answers with error 5).
test_wizard_without_a_desktop_says_it_could_not_be_shown() {
    new_prefix
    (unset DISPLAY; run_setup)
    assert_eq "$(tr -d '\r' <"$TEST_DIR/runexe.txt" | tail -n 1)" "exit code: 1602" "exit code"
    assert_lines_in_order "$(log_entries)" "BootStrapper|Show wizard" "BootStrapper|Wizard could not be shown: 5" \
        "BootStrapper|Wizard done" "BootStrapper|Done"
    if log_entries | grep -q '^CInstallAction|'; then fail "something ran without a wizard"; fi
    assert_temp_clean
}
