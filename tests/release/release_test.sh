#!/usr/bin/env bash
# The release as a user receives it: addresses that could break the program are refused before
# anything is built; two builds of the commit in different folders are byte-identical; a release
# signed with a certificate made here verifies against its CA, its SHA256SUMS was made after the
# signing, and each program carries its metadata. No network: no time stamp server.
#   release_test.sh   (from scripts/test; builds build/release and build/release-check)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Each config is refused with exit code 2 and the line at fault, before any build.
good=("VARNEL_VERSION_SERVICE=https://update.varnel.cn" "VARNEL_DOWNLOAD_SITE=https://www.varnel.cn"
      "VARNEL_BRAND_SITE=http://www.varnel.cn/" "VARNEL_PARTNER_SITE=https://www.ostrid.cn")
refused=(
    "VARNEL_SKIN_SITE=https://a.cn"                   # unknown key
    'VARNEL_BRAND_SITE=http://a.cn/" & calc & "'      # would leave the string and the command line
    "VARNEL_VERSION_SERVICE=http://update.varnel.cn"  # the version service is https only
    "VARNEL_PARTNER_SITE=https://www.ostrid.cn/path"  # a host alone
)
for line in "${refused[@]}"; do
    printf '%s\n' "$line" "${good[@]:1}" >"$work/bad.conf"
    rc=0
    "$root/scripts/release" --config "$work/bad.conf" >"$work/out" 2>&1 || rc=$?
    [ "$rc" = 2 ] && grep -q "bad.conf:1:" "$work/out" ||
        fail "not refused: $line ($(cat "$work/out"))"
done
printf '%s\n' "${good[@]:1}" >"$work/three.conf"
rc=0
"$root/scripts/release" --config "$work/three.conf" >"$work/out" 2>&1 || rc=$?
[ "$rc" = 2 ] || fail "three addresses of four accepted"
# The four good ones pass, and the next check stops the run.
printf '%s\n' "${good[@]}" >"$work/good.conf"
"$root/scripts/release" --config "$work/good.conf" --timestamp http://ts.cn >"$work/out" 2>&1 || true
grep -q -- "--timestamp needs --sign" "$work/out" || fail "good addresses refused: $(cat "$work/out")"

"$root/scripts/release" --check >"$work/check.log" 2>&1 ||
    { cat "$work/check.log"; fail "--check"; }
grep '\.zip$' "$work/check.log"

# A CA and a code-signing certificate it issued, as a .pfx with a password.
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout leaf.key -out leaf.csr -subj "/CN=Test Signer" \
    2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
    extendedKeyUsage=codeSigning >leaf.ext
openssl x509 -req -in leaf.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 -extfile leaf.ext \
    -out leaf.pem 2>/dev/null
openssl pkcs12 -export -inkey leaf.key -in leaf.pem -certfile ca.pem -passout pass:s3cret \
    -out test.pfx

VARNEL_SIGN_PASSWORD=s3cret "$root/scripts/release" --sign test.pfx --dist dist >sign.log 2>&1 ||
    { cat sign.log; fail "signed release"; }
zip=$(ls dist/*-test-win64.zip)
(cd dist && sha256sum --quiet -c "$(basename "$zip").sha256") || fail "the zip's .sha256"
mkdir unpacked && (cd unpacked && unzip -q "../$zip")
files=$(LC_ALL=C ls unpacked | tr '\n' ' ')
[ "$files" = "README.txt SHA256SUMS unplug.exe varnel-unplug.exe " ] || fail "zip holds $files"
(cd unpacked && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
grep -q "已用 Authenticode 数字签名" unpacked/README.txt || fail "README.txt does not say signed"

# Per program: signature, subsystem, and what the resources must hold (windres reads them back).
version=$(sed -n 's/^project(.* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
os_ids='35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38
        1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a'
for row in "unplug.exe CUI" "varnel-unplug.exe GUI PerMonitorV2"; do
    read -r exe subsystem extra <<<"$row"
    osslsigncode verify -CAfile ca.pem -in "unpacked/$exe" >verify.log 2>&1 ||
        { cat verify.log; fail "$exe: signature"; }
    x86_64-w64-mingw32-objdump -p "unpacked/$exe" >headers.txt
    grep -q "Subsystem.*(Windows $subsystem)" headers.txt || fail "$exe: not $subsystem"
    x86_64-w64-mingw32-windres -i "unpacked/$exe" -O rc >res.rc 2>/dev/null
    for want in "RT_GROUP_ICON" "FILEVERSION ${version//./, }, 0" 'FileDescription", L"Varnel' \
        "OriginalFilename\", \"$exe\"" 'level=""asInvoker""' $os_ids $extra; do
        grep -qF -- "$want" res.rc || fail "$exe: no $want in its resources"
    done
done
echo "release: reproducible, signed, checksummed"
