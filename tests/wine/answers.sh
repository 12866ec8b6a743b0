# The cases of one run alone in its folder: what the player answers and what the folder
# and the locale hold.
# Each case_NAME is run by cases.sh, after run_case has laid out its folder.
# shellcheck shell=bash

case_decline() {
    play_run Return n Return Return
    expect_boxes 4
    expect_ini_unchanged
    [ ! -e "$play/Morrowind.ini.old" ] || fail "a backup was made"
}

# Escape answers IDCANCEL, which is not Yes.
case_escape_at_confirm() {
    play_run Return Escape Return Return
    expect_boxes 4
    expect_ini_unchanged
    [ ! -e "$play/Morrowind.ini.old" ] || fail "a backup was made"
}

# Under a French locale, as a French player sees it: Oui and Non.
case_accept_with_fps() {
    expect_code_page fr_FR.UTF-8 1252
    LANG=fr_FR.UTF-8 LC_ALL=fr_FR.UTF-8 play_run Return Return Return Return Return Return Return
    expect_boxes 7
    expect_file Morrowind.ini "$run/with-fps.ini"
    expect_file Morrowind.ini.old "$SAMPLE_INI"
    expect_keys_read
}

case_accept_without_fps() {
    play_run Return Return Return Return n Return Return
    expect_boxes 7
    expect_file Morrowind.ini "$run/without-fps.ini"
    expect_file Morrowind.ini.old "$SAMPLE_INI"
}

# Saved as "Unicode" by an editor: the block and the line in UTF-16LE.
case_utf16_ini() {
    { printf '\xff\xfe'; iconv -f WINDOWS-1252 -t UTF-16LE "$SAMPLE_INI"; } > "$play/Morrowind.ini"
    cp "$play/Morrowind.ini" "$run/utf16.ini"
    { cat "$run/utf16.ini"; printf '%s' "$block$fps" | iconv -f ASCII -t UTF-16LE; } > "$run/utf16-with-fps.ini"
    play_run Return Return Return Return Return Return Return
    expect_boxes 7
    expect_file Morrowind.ini "$run/utf16-with-fps.ini"
    expect_file Morrowind.ini.old "$run/utf16.ini"
}

case_no_ini() {
    rm "$play/Morrowind.ini"
    play_run Return Return Return Return Return
    expect_boxes 5
    [ -z "$(ls -A "$play")" ] || fail "files appeared: $(ls -A "$play")"
}

case_backup_is_a_directory() {
    mkdir "$play/Morrowind.ini.old"
    play_run Return Return Return Return Return
    expect_boxes 5
    expect_ini_unchanged
}

# ANSI code page 1251: the accents must still come out right.
case_russian_locale() {
    expect_code_page ru_RU.UTF-8 1251
    LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 play_run Return Return Return Return Return Return Return
    expect_boxes 7
    expect_file Morrowind.ini "$run/with-fps.ini"
}

# Every byte value, against the host's iconv, under two code pages.
case_cp1252_to_utf16() {
    cp1252_reference "$run/reference.utf16"
    local locale
    for locale in C.UTF-8 ru_RU.UTF-8; do
        (cd "$run" && LANG=$locale LC_ALL=$locale timeout 60 "$wine" "$DUMP_EXE" "$locale.utf16" "$locale.acp" \
            </dev/null >/dev/null 2>&1) || fail "the converter did not run under $locale"
        cmp -s "$run/reference.utf16" "$run/$locale.utf16" ||
            fail "under $locale: $(cmp "$run/reference.utf16" "$run/$locale.utf16" 2>&1)"
    done
}

# An administrator's run beside a VirtualStore copy, which the game would read, touches
# nothing; any other run goes on. Wine 8 gives every process an elevated token, as
# "Exécuter en tant qu'administrateur" under UAC does; Wine 10 a limited one, as a
# double-click does.
case_elevated_beside_a_virtualstore_copy() {
    local store type
    store="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/VirtualStore$play"
    mkdir -p "$store" && cp "$SAMPLE_INI" "$store/Morrowind.ini"
    (cd "$run" && timeout 60 "$wine" "$ELEVATION_EXE" elevation.txt </dev/null >/dev/null 2>&1)
    type=$(tr -d '\r\n' < "$run/elevation.txt" 2>/dev/null)
    echo "Wine's token elevation type: ${type:-unknown}"
    launch=(bash -c 'WINEDEBUG=trace+msgbox "$@" 2>&1 | grep -a MSGBOX_OnInit > "$0"' "$run/texts" "$wine" "$exe")
    start_run main
    if [ "$type" = 2 ]; then
        answer Return Return Return Return Return
        wait_exit main
        expect_boxes 5
        expect_ini_unchanged
        [ ! -e "$play/Morrowind.ini.old" ] || fail "a backup was made"
        grep -q 'administrateur' "$run/texts" || fail "the fourth box does not name the administrator's run"
    else
        answer Return Return Return Return Return Return Return
        wait_exit main
        expect_boxes 7
        expect_file Morrowind.ini "$run/with-fps.ini"
    fi
    rm -rf "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/VirtualStore"
}

# A UTF-16 ini cut to an odd length: a zero byte completes its last character, so the
# game reads every key appended after it.
case_utf16_ini_of_odd_length() {
    { printf '\xff\xfe'; iconv -f WINDOWS-1252 -t UTF-16LE "$SAMPLE_INI"; printf ';'; } > "$play/Morrowind.ini"
    cp "$play/Morrowind.ini" "$run/odd.ini"
    play_run Return Return Return Return Return Return Return
    expect_boxes 7
    expect_file Morrowind.ini.old "$run/odd.ini"
    expect_keys_read
}
