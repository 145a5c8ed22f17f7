#!/usr/bin/env bash
# Signs Windows programs in place with Authenticode (SHA-256) when the environment names a
# certificate, and otherwise says that they stay unsigned:
#   HALVIK_SIGN_PKCS12         a PKCS#12 file (.pfx, .p12) holding the key and its certificates; or
#   HALVIK_SIGN_PKCS11_KEY     the PKCS#11 URI of a key on a token, with
#   HALVIK_SIGN_PKCS11_MODULE  the token's PKCS#11 module and
#   HALVIK_SIGN_CERTS          the key's certificate and its chain (PEM);
#   HALVIK_SIGN_PASSWORD       the PKCS#12 file's password or the token's PIN, if it has one;
#   HALVIK_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server, if one is to vouch for the time.
# Without a time-stamping server the signature carries a fixed signing time, SOURCE_DATE_EPOCH or
# else the time of the commit being signed, so that signing the same program twice with an RSA key
# gives the same bytes.
#   sign.sh PROGRAM...
set -euo pipefail
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"

if [ -n "${HALVIK_SIGN_PKCS12:-}" ]; then
  certificate=(-pkcs12 "$HALVIK_SIGN_PKCS12")
elif [ -n "${HALVIK_SIGN_PKCS11_KEY:-}" ]; then
  if [ -z "${HALVIK_SIGN_PKCS11_MODULE:-}" ] || [ -z "${HALVIK_SIGN_CERTS:-}" ]; then
    fail "a key on a token needs HALVIK_SIGN_PKCS11_MODULE and HALVIK_SIGN_CERTS too"
  fi
  certificate=(-pkcs11module "$HALVIK_SIGN_PKCS11_MODULE" -certs "$HALVIK_SIGN_CERTS"
    -key "$HALVIK_SIGN_PKCS11_KEY")
else
  echo "no certificate given (HALVIK_SIGN_PKCS12 or HALVIK_SIGN_PKCS11_KEY), left unsigned: $*"
  exit 0
fi
if [ -n "${HALVIK_SIGN_TIMESTAMP_URL:-}" ]; then
  signing_time=(-ts "$HALVIK_SIGN_TIMESTAMP_URL")
  when="time-stamped by $HALVIK_SIGN_TIMESTAMP_URL"
else
  epoch=${SOURCE_DATE_EPOCH:-$(git -C "$(dirname "$0")" log -1 --format=%ct)} ||
    fail "no signing time: set SOURCE_DATE_EPOCH outside a git checkout"
  signing_time=(-time "$epoch")
  when="signing time $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC'), not time-stamped"
fi

# The password reaches osslsigncode through a pipe that printf, a shell builtin, writes: it is on
# no command line that ps shows. An empty one would be refused, so none is given without it.
osslsigncode_sign() {  # OSSLSIGNCODE-SIGN-ARGUMENT...
  if [ -n "${HALVIK_SIGN_PASSWORD+set}" ]; then
    osslsigncode sign -readpass <(printf '%s' "$HALVIK_SIGN_PASSWORD") "$@"
  else
    osslsigncode sign "$@"
  fi
}

for program in "$@"; do
  signed=$program.signed
  rm -f "$signed"
  if ! log=$(osslsigncode_sign "${certificate[@]}" -h sha256 -n Halvik "${signing_time[@]}" \
    -in "$program" -out "$signed" 2>&1); then
    rm -f "$signed"
    fail "osslsigncode could not sign $program: $log"
  fi
  mv "$signed" "$program"
  echo "signed $program (Authenticode SHA-256, $when)"
done
