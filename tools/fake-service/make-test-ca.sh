#!/bin/sh
# Makes a throw-away certificate authority and a server certificate signed by it,
# for the local stand-in service on 127.0.0.1 / localhost.
#
#   make-test-ca.sh OUTDIR [DAYS]
#
# Writes OUTDIR/ca.pem, ca.key, server.pem, server.key (EC P-256). Both
# certificates are valid from one hour before now (so a client whose clock is
# slightly behind still accepts them) until DAYS days from now (default 2).
set -eu

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 OUTDIR [DAYS]" >&2
    exit 2
fi
out=$1
days=${2:-2}
case $days in
'' | *[!0-9]*)
    echo "$0: DAYS must be a whole number" >&2
    exit 2
    ;;
esac

umask 077
mkdir -p "$out"
work=$(mktemp -d "$out/.make-ca.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

start=$(date -u -d '-1 hour' +%Y%m%d%H%M%SZ)
end=$(date -u -d "+$days days" +%Y%m%d%H%M%SZ)

# "openssl ca" is used rather than "req -x509"/"x509 -req" because only it can
# set a start date in the past.
: >"$work/index.txt"
openssl rand -hex 16 >"$work/serial"
cat >"$work/openssl.cnf" <<EOF
[ ca ]
default_ca = test_ca

[ test_ca ]
database = $work/index.txt
new_certs_dir = $work
serial = $work/serial
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none

[ any_name ]
commonName = supplied

[ req ]
distinguished_name = req_dn
prompt = no

[ req_dn ]
CN = unused

[ v3_ca ]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash

[ v3_server ]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid, issuer
EOF

newkey() {
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null
}

newkey "$work/ca.key"
openssl req -new -config "$work/openssl.cnf" -key "$work/ca.key" \
    -subj "/CN=Quillmore Test CA" -out "$work/ca.csr"
openssl ca -batch -notext -selfsign -config "$work/openssl.cnf" -keyfile "$work/ca.key" \
    -in "$work/ca.csr" -out "$work/ca.pem" -startdate "$start" -enddate "$end" \
    -extensions v3_ca 2>/dev/null

newkey "$work/server.key"
openssl req -new -config "$work/openssl.cnf" -key "$work/server.key" \
    -subj "/CN=127.0.0.1" -out "$work/server.csr"
openssl ca -batch -notext -config "$work/openssl.cnf" -cert "$work/ca.pem" \
    -keyfile "$work/ca.key" -in "$work/server.csr" -out "$work/server.pem" \
    -startdate "$start" -enddate "$end" -extensions v3_server 2>/dev/null

openssl verify -CAfile "$work/ca.pem" "$work/server.pem" >/dev/null

# The certificates are public; only the keys stay private.
chmod 644 "$work/ca.pem" "$work/server.pem"
for f in ca.key server.key ca.pem server.pem; do
    mv -f "$work/$f" "$out/$f"
done
