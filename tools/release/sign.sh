#!/usr/bin/env bash
# Authenticode signing for the release, with osslsigncode.
#   sign.sh setup DIR          chooses the certificate; prints what signs the release
#   sign.sh sign DIR IN OUT    signs IN (a PE file or a CAB) into OUT
#   sign.sh verify DIR FILE    checks FILE's signature against the chosen certificate's chain
# The certificate comes from the environment:
#   TERVAGON_SIGN_CERT           PEM file: the code-signing certificate and its chain
#   TERVAGON_SIGN_KEY            PEM file: its private key
#   TERVAGON_SIGN_PASSWORD_FILE  optional: a file holding the key's password
#   TERVAGON_SIGN_CA             optional: PEM trust anchors for verify (default: the system's)
#   TERVAGON_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamping service, so that the
#                                signature outlives the certificate (needs the network)
# Without TERVAGON_SIGN_CERT a throwaway test certificate is made in DIR with openssl; its
# subject says so, and setup says so too. Only options that osslsigncode 2.5 (Debian 12)
# has as well are used.
set -euo pipefail
action=${1:?setup|sign|verify} dir=${2:?signing folder}
mkdir -p "$dir"
test_subject="/O=Talmoren (TEST ONLY)/CN=Tervagon TEST CERTIFICATE - NOT FOR DISTRIBUTION"

cert() { if [ -n "${TERVAGON_SIGN_CERT:-}" ]; then echo "$TERVAGON_SIGN_CERT"; else echo "$dir/test-cert.pem"; fi; }
key() { if [ -n "${TERVAGON_SIGN_CERT:-}" ]; then echo "${TERVAGON_SIGN_KEY:?TERVAGON_SIGN_KEY goes with TERVAGON_SIGN_CERT}"; else echo "$dir/test-key.pem"; fi; }

case "$action" in
setup)
    if [ -n "${TERVAGON_SIGN_CERT:-}" ]; then
        [ -r "$TERVAGON_SIGN_CERT" ] || { echo "sign: cannot read TERVAGON_SIGN_CERT=$TERVAGON_SIGN_CERT" >&2; exit 1; }
        [ -r "$(key)" ] || { echo "sign: cannot read TERVAGON_SIGN_KEY=$(key)" >&2; exit 1; }
        echo "signed with: $(openssl x509 -in "$TERVAGON_SIGN_CERT" -noout -subject)"
    else
        if [ ! -f "$dir/test-cert.pem" ]; then
            openssl req -x509 -newkey rsa:3072 -sha256 -days 30 -nodes -subj "$test_subject" \
                -addext "basicConstraints=critical,CA:TRUE" \
                -addext "keyUsage=critical,digitalSignature,keyCertSign" \
                -addext "extendedKeyUsage=codeSigning" \
                -keyout "$dir/test-key.pem" -out "$dir/test-cert.pem" 2>/dev/null
        fi
        echo "signed with: a THROWAWAY TEST CERTIFICATE made for this build ($dir/test-cert.pem):"
        echo "  $(openssl x509 -in "$dir/test-cert.pem" -noout -subject)"
        echo "  browsers and Windows will not trust it; set TERVAGON_SIGN_CERT and TERVAGON_SIGN_KEY"
        echo "  to sign a release for distribution (docs/deploying.md)"
    fi
    ;;
sign)
    in=${3:?in} out=${4:?out}
    options=(-certs "$(cert)" -key "$(key)" -h sha256 -n "Tervagon" -i "https://support.talmoren.com/")
    if [ -n "${TERVAGON_SIGN_CERT:-}" ] && [ -n "${TERVAGON_SIGN_PASSWORD_FILE:-}" ]; then
        options+=(-readpass "$TERVAGON_SIGN_PASSWORD_FILE")
    fi
    if [ -n "${TERVAGON_SIGN_TIMESTAMP_URL:-}" ]; then options+=(-ts "$TERVAGON_SIGN_TIMESTAMP_URL"); fi
    rm -f "$out"
    osslsigncode sign "${options[@]}" -in "$in" -out "$out" >/dev/null
    ;;
verify)
    file=${3:?file}
    if [ -n "${TERVAGON_SIGN_CERT:-}" ]; then ca=${TERVAGON_SIGN_CA:-/etc/ssl/certs/ca-certificates.crt}
    else ca="$dir/test-cert.pem"; fi
    osslsigncode verify -CAfile "$ca" -in "$file"
    ;;
*) echo "usage: $0 setup|sign|verify DIR ..." >&2; exit 2 ;;
esac
