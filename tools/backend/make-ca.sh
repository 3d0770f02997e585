#!/usr/bin/env bash
# Throwaway CA plus a localhost server certificate for the test backend, and a code-signing
# certificate from the same CA for the builds' signing step.
# Idempotent: keeps what is there while it is valid, and touches the system trust
# store (which Wine's WinHTTP and WinINet use) only when the CA file changed.
#
# Usage: make-ca.sh [--no-install] [--force]
#   --no-install  only create the files (no root needed; clients pass the CA file)
#   --force       make a new CA and server certificate
# Files: ${FENNIX_CACHE:-/var/cache/fennix-setup}/ca/{ca.crt,ca.key,server.crt,server.key}, and
#        codesign.p12 (certificate and key) with its password in codesign.pass
set -euo pipefail

install=1 force=0
for arg in "$@"; do
    case $arg in
        --no-install) install=0 ;;
        --force) force=1 ;;
        -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
        *) echo "make-ca.sh: unknown argument: $arg" >&2; exit 2 ;;
    esac
done

CACHE=${FENNIX_CACHE:-/var/cache/fennix-setup}
DIR=$CACHE/ca
TRUSTED=/usr/local/share/ca-certificates/fennix-setup-test-ca.crt
CA_DAYS=3650
LEAF_DAYS=1095
# Certificates must stay valid at least this long, or they are made anew.
MIN_LEFT=$((30 * 86400))

mkdir -p "$DIR"
chmod 700 "$DIR"

# Parallel test runs may call this at the same moment.
exec 9>"$DIR/.lock"
if command -v flock >/dev/null; then flock -w 60 9; fi

# Dates for `openssl ca`: UTCTime, starting a day in the past so that a clock a
# little behind (or a timezone mix-up in the client) does not reject the chain.
start=$(date -u -d '1 day ago' +%y%m%d%H%M%SZ)
end_of() { date -u -d "+$1 days" +%y%m%d%H%M%SZ; }

sign() {   # sign <csr> <out> <days> <extension section> [issuer cert] [issuer key]
    local csr=$1 out=$2 days=$3 ext=$4 cert=${5:-} key=${6:-}
    local work
    work=$(mktemp -d)
    : >"$work/index.txt"
    cat >"$work/ca.cnf" <<EOF
[ca]
default_ca = local
[local]
database = $work/index.txt
serial = $work/serial
new_certs_dir = $work
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = none
[anything]
organizationName = optional
commonName = supplied
[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[leaf_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
# Wine matches a literal address host only against dNSName entries, other
# clients only against iPAddress ones: carry 127.0.0.1 in both forms.
subjectAltName = DNS:localhost, DNS:127.0.0.1, IP:127.0.0.1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid, issuer
[codesign_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid, issuer
EOF
    local issuer=(-selfsign -keyfile "$key")
    [ -n "$cert" ] && issuer=(-cert "$cert" -keyfile "$key")
    openssl ca -batch -notext -rand_serial -config "$work/ca.cnf" "${issuer[@]}" \
        -in "$csr" -out "$out" -startdate "$start" -enddate "$(end_of "$days")" \
        -extensions "$ext" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; rm -rf "$work"; return 1; }
    rm -rf "$work"
}

ca_ok() {
    [ -s "$DIR/ca.crt" ] && [ -s "$DIR/ca.key" ] &&
        openssl x509 -in "$DIR/ca.crt" -noout -checkend "$MIN_LEFT" >/dev/null 2>&1
}

leaf_ok() {
    [ -s "$DIR/server.crt" ] && [ -s "$DIR/server.key" ] || return 1
    openssl x509 -in "$DIR/server.crt" -noout -checkend "$MIN_LEFT" >/dev/null 2>&1 || return 1
    openssl verify -CAfile "$DIR/ca.crt" -purpose sslserver "$DIR/server.crt" >/dev/null 2>&1 || return 1
    local san
    san=$(openssl x509 -in "$DIR/server.crt" -noout -ext subjectAltName 2>/dev/null) || return 1
    grep -q 'DNS:localhost' <<<"$san" && grep -q 'DNS:127.0.0.1' <<<"$san" &&
        grep -q 'IP Address:127.0.0.1' <<<"$san" || return 1
    # The key must belong to the certificate.
    [ "$(openssl x509 -in "$DIR/server.crt" -noout -pubkey | openssl sha256)" = \
      "$(openssl pkey -in "$DIR/server.key" -pubout | openssl sha256)" ]
}

umask 077
if [ "$force" = 1 ] || ! ca_ok; then
    openssl genrsa -out "$DIR/ca.key.new" 2048 2>/dev/null
    openssl req -new -key "$DIR/ca.key.new" -subj "/O=Fennix Setup Tests/CN=Fennix Setup Test CA" \
        -out "$DIR/ca.csr" 2>/dev/null
    sign "$DIR/ca.csr" "$DIR/ca.crt.new" "$CA_DAYS" ca_ext "" "$DIR/ca.key.new"
    mv "$DIR/ca.key.new" "$DIR/ca.key"
    mv "$DIR/ca.crt.new" "$DIR/ca.crt"
    rm -f "$DIR/ca.csr" "$DIR/server.crt"   # a new CA invalidates the old leaf
    echo "make-ca: new CA in $DIR"
fi

if [ "$force" = 1 ] || ! leaf_ok; then
    openssl genrsa -out "$DIR/server.key.new" 2048 2>/dev/null
    openssl req -new -key "$DIR/server.key.new" -subj "/O=Fennix Setup Tests/CN=localhost" \
        -out "$DIR/server.csr" 2>/dev/null
    sign "$DIR/server.csr" "$DIR/server.crt.new" "$LEAF_DAYS" leaf_ext "$DIR/ca.crt" "$DIR/ca.key"
    mv "$DIR/server.key.new" "$DIR/server.key"
    mv "$DIR/server.crt.new" "$DIR/server.crt"
    rm -f "$DIR/server.csr"
    leaf_ok || { echo "make-ca: the new server certificate does not verify" >&2; exit 1; }
    echo "make-ca: new server certificate in $DIR"
fi

codesign_ok() {
    [ -s "$DIR/codesign.p12" ] && [ -s "$DIR/codesign.pass" ] || return 1
    local cert
    cert=$(openssl pkcs12 -in "$DIR/codesign.p12" -passin "file:$DIR/codesign.pass" -clcerts -nokeys 2>/dev/null) ||
        return 1
    openssl x509 -noout -checkend "$MIN_LEFT" <<<"$cert" >/dev/null 2>&1 || return 1
    openssl x509 -noout -ext extendedKeyUsage <<<"$cert" 2>/dev/null | grep -q 'Code Signing' || return 1
    # This OpenSSL knows no code-signing purpose: the chain is checked, the usage above.
    openssl verify -CAfile "$DIR/ca.crt" <(echo "$cert") >/dev/null 2>&1
}

# Throwaway, like the rest: its password sits beside it so that the builds can pass both.
if [ "$force" = 1 ] || ! codesign_ok; then
    openssl genrsa -out "$DIR/codesign.key.new" 2048 2>/dev/null
    openssl req -new -key "$DIR/codesign.key.new" -subj "/O=Fennix Setup Tests/CN=Fennix Setup Test Code Signing" \
        -out "$DIR/codesign.csr" 2>/dev/null
    sign "$DIR/codesign.csr" "$DIR/codesign.crt.new" "$LEAF_DAYS" codesign_ext "$DIR/ca.crt" "$DIR/ca.key"
    openssl rand -hex 16 >"$DIR/codesign.pass.new"
    openssl pkcs12 -export -inkey "$DIR/codesign.key.new" -in "$DIR/codesign.crt.new" -certfile "$DIR/ca.crt" \
        -name "Fennix Setup Test Code Signing" -passout "file:$DIR/codesign.pass.new" \
        -out "$DIR/codesign.p12.new" 2>/dev/null
    mv "$DIR/codesign.pass.new" "$DIR/codesign.pass"
    mv "$DIR/codesign.p12.new" "$DIR/codesign.p12"
    rm -f "$DIR/codesign.csr" "$DIR/codesign.key.new" "$DIR/codesign.crt.new"
    codesign_ok || { echo "make-ca: the new code-signing certificate does not verify" >&2; exit 1; }
    echo "make-ca: new code-signing certificate in $DIR"
fi
chmod 644 "$DIR/ca.crt" "$DIR/server.crt"

if [ "$install" = 1 ]; then
    if ! cmp -s "$DIR/ca.crt" "$TRUSTED"; then
        if [ "$(id -u)" != 0 ]; then
            echo "make-ca: root is needed to trust the CA (or pass --no-install)" >&2
            exit 1
        fi
        mkdir -p "$(dirname "$TRUSTED")"
        install -m 644 "$DIR/ca.crt" "$TRUSTED"
        if ! out=$(update-ca-certificates 2>&1); then
            echo "$out" >&2
            exit 1
        fi
        echo "make-ca: CA installed as $TRUSTED"
    fi
fi
