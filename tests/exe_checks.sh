#!/usr/bin/env bash
# Checks the players' programs as a bare Windows or a Steam Deck would take them.
#   exe_checks.sh format EXE            PE32 for i386, console subsystem, only system DLLs, small
#   exe_checks.sh linux-format PROGRAM  ELF for x86-64, statically linked, under 2 MiB
#   exe_checks.sh reproducible PROGRAM-NAME SOURCE-DIR WORK-DIR CMAKE-ARGS...
#                                       two fresh build trees give the same bytes
#   exe_checks.sh resources EXE VERSION  its manifest, version details and icon
#   exe_checks.sh release PROGRAM BUILD-DIR ARCHIVE-NAME WORK-DIR
#                                       the players' archive holds the program, its README
#                                       and FAQ in CR LF, and the license
#   exe_checks.sh dist SOURCE-DIR WORK-DIR
#                                       tools/release refuses a placeholder address; two
#                                       runs give the same bytes, their entries the
#                                       commit's time and owner 0/0, the programs the address
#   exe_checks.sh signed SOURCE-DIR WORK-DIR
#                                       a release signed with a throwaway certificate verifies
#                                       against it, and its exe without the signature is the
#                                       unsigned release's
set -uo pipefail
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

format() {
    local exe=$1 headers
    headers=$(i686-w64-mingw32-objdump -f -p "$exe") || { fail "objdump could not read $exe"; return; }
    grep -q 'file format pei-i386' <<<"$headers" || fail "not a 32-bit x86 PE file"
    grep -Eq '^Magic[[:space:]]+010b' <<<"$headers" || fail "not PE32"
    grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers" || fail "not a console (CUI) program"
    local dlls
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
    [ "$dlls" = "ADVAPI32.dll KERNEL32.dll USER32.dll msvcrt.dll " ] || fail "imports $dlls"
    local size
    size=$(stat -c %s "$exe")
    [ "$size" -le 65536 ] || fail "$size bytes, more than 64 KiB"
    echo "tolvane.exe: $size bytes, imports $dlls"
}

linux-format() {
    local program=$1 description
    description=$(file -b "$program")
    grep -q '^ELF 64-bit LSB executable, x86-64' <<<"$description" || fail "not an x86-64 program: $description"
    grep -q 'statically linked' <<<"$description" || fail "not statically linked: $description"
    ! readelf -l "$program" | grep -q INTERP || fail "it asks for a dynamic loader"
    ! readelf -d "$program" 2>/dev/null | grep -q NEEDED || fail "it needs libraries"
    local size
    size=$(stat -c %s "$program")
    [ "$size" -lt 2097152 ] || fail "$size bytes, not under 2 MiB"
    echo "tolvane: $size bytes, $description"
}

# Both copies are built here, from nothing, so that neither an older build in build/
# nor a library upgraded since it can make them differ or agree.
reproducible() {
    local name=$1 source=$2 work=$3 copy
    shift 3
    rm -rf "$work" && mkdir -p "$work"
    for copy in first second; do
        cmake -S "$source" -B "$work/$copy" "$@" -DTOLVANE_BUILD_TESTS=OFF >"$work/$copy.log" 2>&1 &&
            cmake --build "$work/$copy" --target tolvane >>"$work/$copy.log" 2>&1 || {
            fail "the $copy build failed: $(tail -n 5 "$work/$copy.log")"
            return
        }
    done
    cmp "$work/first/$name" "$work/second/$name" || fail "two builds of the same source differ"
}

# Reads the resources with Debian's pefile, apart from anything the build made.
resources() {
    /usr/bin/python3 - "$@" <<'EOF' || fail "the resources are not as a player's Windows needs them"
import re, sys, xml.etree.ElementTree as ET
import pefile

exe, version = sys.argv[1], sys.argv[2]
pe = pefile.PE(exe)
problems = []
def check(ok, what):
    if not ok:
        problems.append(what)

resources = {}
for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for name in kind.directory.entries:
        for lang in name.directory.entries:
            data = lang.data.struct
            resources[(kind.id, name.id)] = pe.get_data(data.OffsetToData, data.Size)

# The manifest: resource 24/1, well-formed, with no execution level.
manifest = resources.get((24, 1))
check(manifest is not None, "no manifest as resource 24/1")
root = ET.fromstring(manifest or b"<none/>")
v1 = "{urn:schemas-microsoft-com:asm.v1}"
compat = "{urn:schemas-microsoft-com:compatibility.v1}"
controls = [e.attrib for e in root.iter(v1 + "assemblyIdentity")
            if e.get("name") == "Microsoft.Windows.Common-Controls"]
check(controls == [{"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                    "version": "6.0.0.0", "processorArchitecture": "*",
                    "publicKeyToken": "6595b64144ccf1df", "language": "*"}],
      "no dependency on common controls 6: %s" % controls)
dpi_aware = root.find(".//{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
check(dpi_aware is not None and dpi_aware.text == "true/pm", "dpiAware is not true/pm")
awareness = root.find(".//{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness")
check(awareness is not None and awareness.text == "PerMonitorV2, PerMonitor",
      "dpiAwareness is not PerMonitorV2, PerMonitor")
# Windows 11 24H2 then makes no console for a double-click; cmd's console stays.
policy = root.find(".//{http://schemas.microsoft.com/SMI/2024/WindowsSettings}consoleAllocationPolicy")
check(policy is not None and policy.text == "detached", "consoleAllocationPolicy is not detached")
check({e.get("Id") for e in root.iter(compat + "supportedOS")} == {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}, "supportedOS is not Vista to 11")
check(not any(e.tag.endswith(("}trustInfo", "}requestedExecutionLevel")) for e in root.iter()),
      "the manifest declares an execution level")

# Version details: French, code page 1252, from the project's version.
strings = {}
for info in getattr(pe, "FileInfo", []):
    for entry in info:
        for table in getattr(entry, "StringTable", []):
            check(table.LangID.lower() == b"040c04e4", "string table %s is not 040C04E4" % table.LangID)
            strings.update({k.decode(): v.decode("utf-8") for k, v in table.entries.items()})
fixed = pe.VS_FIXEDFILEINFO[0]
parts = [int(p) for p in version.split(".")] + [0]
check((fixed.FileVersionMS, fixed.FileVersionLS) == (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]),
      "the fixed file version is not %s" % version)
for key, want in {"FileVersion": version, "ProductVersion": version, "ProductName": "Tolvane",
                  "OriginalFilename": "tolvane.exe"}.items():
    check(strings.get(key) == want, "%s is %r, not %r" % (key, strings.get(key), want))
for key in ("FileDescription", "InternalName", "LegalCopyright"):
    check(strings.get(key), "no " + key)
check("Quedrin" in strings.get("LegalCopyright", ""), "LegalCopyright does not name the author")

# Windows asks for administrator rights when one of these holds an installer word.
identity = root.find(v1 + "assemblyIdentity")
description = root.find(v1 + "description")
names = [strings.get(k, "") for k in ("CompanyName", "ProductName", "FileDescription",
                                      "OriginalFilename", "InternalName")]
names.append(identity.get("name", "") if identity is not None else "")
names.append(description.text or "" if description is not None else "")
for name in names:
    check(not re.search("install|setup|update|patch|upgrade", name, re.I), "installer word in %r" % name)

# The icon group holds 16, 32 and 48 pixel images, each of them present.
group = resources.get((14, 1), b"")
count = int.from_bytes(group[4:6], "little") if len(group) >= 6 else 0
sizes, ids = set(), []
for i in range(count):
    entry = group[6 + 14 * i: 20 + 14 * i]
    sizes.add(entry[0] or 256)
    ids.append(int.from_bytes(entry[12:14], "little"))
check({16, 32, 48} <= sizes, "the icon sizes are %s" % sorted(sizes))
check(all((3, i) in resources for i in ids), "an icon of the group is missing")

for problem in problems:
    print("FAIL: " + problem)
print("version strings: %s" % strings)
sys.exit(1 if problems else 0)
EOF
}

release() {
    local exe=$1 build=$2 zip=$3 work=$4 name
    name=$(basename "$exe")
    rm -rf "$work" && mkdir -p "$work/unpacked"
    cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
        { fail "cpack failed: $(tail -n 5 "$work/cpack.log")"; return; }
    [ -f "$work/$zip" ] || { fail "no $zip made"; return; }
    local contents
    contents=$(cmake -E tar tf "$work/$zip" | sed 's#^\./##' | grep -v '^$' | sort | tr '\n' ' ')
    [ "$contents" = "FAQ.txt LICENSE README.txt $name " ] || fail "$zip holds: $contents"
    (cd "$work/unpacked" && cmake -E tar xf "../$zip")
    cmp -s "$exe" "$work/unpacked/$name" || fail "the packed $name is not the built one"
    [ -x "$work/unpacked/$name" ] || fail "the packed $name cannot be run"
    local text
    for text in README.txt FAQ.txt; do
        ! grep -qv $'\r$' "$work/unpacked/$text" || fail "$text has a line that does not end in CR LF"
    done
    grep -q 'Morrowind.ini.old en' "$work/unpacked/README.txt" || fail "README.txt lacks the French undo step"
    grep -q 'failed, Morrowind.ini.old is already the new, whole copy' "$work/unpacked/FAQ.txt" ||
        fail "FAQ.txt does not say when a failed backup has replaced the earlier one"
    grep -q 'rename Morrowind.ini.old to Morrowind.ini' "$work/unpacked/README.txt" ||
        fail "README.txt lacks the English undo step"
}

dist() {
    local source=$1 work=$2 n refused contact=quedrin@release-check.test
    rm -rf "$work" && mkdir -p "$work"
    for refused in "" quedrin@example.com name@Example.ORG name@mail.example.net name@host.invalid; do
        TOLVANE_CONTACT_EMAIL=$refused "$source/tools/release" "$work/refused" >"$work/refused.log" 2>&1 &&
            fail "tools/release made a release for the address '$refused'"
        [ ! -e "$work/refused" ] || fail "tools/release left files for the address '$refused'"
    done
    for n in 1 2; do
        "$source/tools/release" --contact "$contact" "$work/$n" >"$work/release-$n.log" 2>&1 ||
            { fail "tools/release failed: $(tail -n 5 "$work/release-$n.log")"; return; }
    done
    tar -xzf "$work"/1/*.tar.gz -C "$work" tolvane
    grep -qaF "$contact" "$work/tolvane" || fail "the released program lacks $contact"
    diff -r "$work/1" "$work/2" >/dev/null || fail "two tools/release runs gave different files"
    (cd "$work/1" && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
    local when
    when=$(TZ=UTC date -d "@$(git -C "$source" log -1 --format=%ct)" '+%Y-%m-%d %H:%M')
    [ "$(TZ=UTC tar --numeric-owner -tvzf "$work"/1/*.tar.gz | awk '{ print $1, $2, $4, $5, $6 }')" = \
      "-rw-r--r-- 0/0 $when FAQ.txt
-rw-r--r-- 0/0 $when LICENSE
-rw-r--r-- 0/0 $when README.txt
-rwxr-xr-x 0/0 $when tolvane" ] || fail "the tar.gz entries: $(tar --numeric-owner -tvzf "$work"/1/*.tar.gz)"
    local zip_entries
    zip_entries=$(/usr/bin/python3 -c 'import sys, zipfile
for e in zipfile.ZipFile(sys.argv[1]).infolist():
    print("%o %04d-%02d-%02d %02d:%02d" % ((e.external_attr >> 16,) + e.date_time[:5]), e.filename)' "$work"/1/*.zip)
    [ "$zip_entries" = "100644 $when FAQ.txt
100644 $when LICENSE
100644 $when README.txt
100755 $when tolvane.exe" ] || fail "the zip entries: $zip_entries"
}

# A certificate made here for this check alone, as a release signer's would be.
signed() {
    local source=$1 work=$2 contact=quedrin@release-check.test
    rm -rf "$work" && mkdir -p "$work"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
        -subj "/CN=Tolvane release check" >/dev/null 2>&1 &&
        openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.p12" \
            -passout pass:throwaway >/dev/null 2>&1 || { fail "openssl could not make a certificate"; return; }
    "$source/tools/release" --contact "$contact" "$work/unsigned" >"$work/unsigned.log" 2>&1 ||
        { fail "tools/release failed: $(tail -n 5 "$work/unsigned.log")"; return; }
    TOLVANE_SIGNING_PASSWORD=throwaway "$source/tools/release" --contact "$contact" \
        --sign-with "$work/signer.p12" "$work/signed" >"$work/signed.log" 2>&1 ||
        { fail "tools/release --sign-with failed: $(tail -n 5 "$work/signed.log")"; return; }
    local kind
    for kind in unsigned signed; do
        mkdir -p "$work/$kind/exe" && /usr/bin/python3 -c 'import sys, zipfile
zipfile.ZipFile(sys.argv[1]).extract("tolvane.exe", sys.argv[2])' "$work/$kind"/*.zip "$work/$kind/exe"
    done
    osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/exe/tolvane.exe" >"$work/verify.log" 2>&1 ||
        fail "the signature does not verify: $(tail -n 3 "$work/verify.log")"
    ! osslsigncode verify -CAfile "$work/cert.pem" -in "$work/unsigned/exe/tolvane.exe" >/dev/null 2>&1 ||
        fail "the unsigned exe verifies as signed"
    osslsigncode remove-signature -in "$work/signed/exe/tolvane.exe" -out "$work/stripped.exe" >/dev/null 2>&1 ||
        fail "osslsigncode could not remove the signature"
    cmp "$work/stripped.exe" "$work/unsigned/exe/tolvane.exe" ||
        fail "the signed exe differs from the unsigned one by more than its signature"
    cmp -s "$work"/unsigned/*.tar.gz "$work"/signed/*.tar.gz || fail "signing changed the Linux download"
    (cd "$work/signed" && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not match the signed zip"
}

case "${1:-}" in
release) shift; release "$@" ;;
dist) shift; dist "$@" ;;
format) format "$2" ;;
linux-format) linux-format "$2" ;;
reproducible) shift; reproducible "$@" ;;
signed) shift; signed "$@" ;;
resources) shift; resources "$@" ;;
*) echo "usage: see the top of $0"; exit 2 ;;
esac
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "passed"
