#!/bin/sh
# Trusts a test CA in one Wine prefix, never in the host's store: writes the certificate into
# the prefix's user Root store (HKCU\Software\Microsoft\SystemCertificates\Root\Certificates\
# <SHA-1>, value Blob) with `wine reg import`.
#   tools/trust_test_ca.sh PREFIX CA.pem
# The Blob is the serialized store element: property CERT_CERT_PROP_ID (32), flags 1, length,
# then the DER bytes, all numbers little-endian.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 WINEPREFIX CA.pem" >&2
    exit 2
fi
prefix=$1
pem=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

openssl x509 -in "$pem" -outform DER -out "$work/ca.der"
thumbprint=$(openssl dgst -sha1 -binary "$work/ca.der" | od -An -v -tx1 | tr -d ' \n' |
    tr 'a-f' 'A-F')
length=$(wc -c < "$work/ca.der")

le32() {
    printf '%02x,%02x,%02x,%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) \
        $((($1 >> 24) & 255))
}
der_hex=$(od -An -v -tx1 "$work/ca.der" | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
blob="$(le32 32),$(le32 1),$(le32 "$length"),$der_hex"

{
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n' \
        "$thumbprint"
    printf '"Blob"=hex:%s\r\n' "$blob"
} > "$work/trust.reg"

# Wine maps the host's root directory to drive Z:.
reg_file=Z:$(printf '%s' "$work/trust.reg" | tr '/' '\\')
WINEPREFIX=$prefix WINEDEBUG=-all wine reg import "$reg_file" > "$work/reg.log" 2>&1 || {
    cat "$work/reg.log" >&2
    exit 1
}
WINEPREFIX=$prefix wineserver -w
echo "trusted $thumbprint in $prefix"
