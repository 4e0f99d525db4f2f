#!/bin/sh
# Trusts a test CA in one Wine prefix, never in the host's store: writes the certificate into
# the prefix's user Root store (HKCU\Software\Microsoft\SystemCertificates\Root\Certificates\
# <SHA-1>, value Blob) with `wine reg import`.
#   tools/trust_test_ca.sh PREFIX CA.pem
# The Blob is the serialized store element: property CERT_CERT_PROP_ID (32), flags 1, length,
# then the DER bytes, all numbers little-endian.
set -eu
[ $# -eq 2 ] || { echo "usage: $0 WINEPREFIX CA.pem" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl x509 -in "$2" -outform DER -out "$work/ca.der"
le32() { printf '%08x' "$1" | sed 's/\(..\)\(..\)\(..\)\(..\)/\4,\3,\2,\1/'; }
thumbprint=$(openssl dgst -sha1 -binary "$work/ca.der" | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F)
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n"Blob"=hex:%s,%s,%s,%s\r\n' \
    "$thumbprint" "$(le32 32)" "$(le32 1)" "$(le32 "$(wc -c <"$work/ca.der")")" \
    "$(od -An -v -tx1 <"$work/ca.der" | tr -s ' \n' ',' | sed 's/^,//; s/,$//')" >"$work/trust.reg"
# Wine maps the host's root directory to drive Z:.
WINEPREFIX=$1 WINEDEBUG=-all wine reg import "Z:$(printf '%s' "$work/trust.reg" | tr / '\\')" \
    >"$work/reg.log" 2>&1 || { cat "$work/reg.log" >&2; exit 1; }
WINEPREFIX=$1 wineserver -w
echo "trusted $thumbprint in $1"
