#!/bin/sh
# Generates the test certificate authority and the server certificates of the
# management-server test server into the directory given as the only argument.
#   ca.pem, ca.key                   the test CA (trusted only by tests that add it)
#   server.pem, server.key           127.0.0.1 / localhost, issued by the test CA
#   selfsigned.pem, selfsigned.key   127.0.0.1, signs itself (never trusted)
#   wronghost.pem, wronghost.key     issued by the test CA for another host name
# Needs the openssl command-line tool (Debian package "openssl").
set -eu

out=${1:?usage: gen-certs.sh OUTPUT_DIR}
command -v openssl >/dev/null 2>&1 || {
    echo "gen-certs.sh: the openssl command is missing (apt-get install openssl)" >&2
    exit 1
}
mkdir -p "$out"
tmp=$(mktemp -d "$out/.gen.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

key() {
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null
}

days=3650

key "$tmp/ca.key"
openssl req -x509 -new -key "$tmp/ca.key" -sha256 -days $days \
    -subj "/O=Orvo Test/CN=Orvo Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -out "$tmp/ca.pem"

# issue NAME CN SAN: a leaf certificate signed by the test CA
issue() {
    key "$tmp/$1.key"
    openssl req -new -key "$tmp/$1.key" -subj "/O=Orvo Test/CN=$2" -out "$tmp/$1.csr"
    printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$3" >"$tmp/$1.ext"
    openssl x509 -req -in "$tmp/$1.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" \
        -CAcreateserial -sha256 -days $days -extfile "$tmp/$1.ext" \
        -out "$tmp/$1.pem" 2>/dev/null
}

issue server 127.0.0.1 "IP:127.0.0.1,DNS:localhost"
issue wronghost other.invalid "DNS:other.invalid"

key "$tmp/selfsigned.key"
openssl req -x509 -new -key "$tmp/selfsigned.key" -sha256 -days $days \
    -subj "/O=Orvo Test/CN=127.0.0.1" \
    -addext "basicConstraints=critical,CA:FALSE" \
    -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" \
    -out "$tmp/selfsigned.pem"

for f in ca server wronghost selfsigned; do
    mv "$tmp/$f.pem" "$out/$f.pem"
    mv "$tmp/$f.key" "$out/$f.key"
done
chmod 600 "$out"/*.key
