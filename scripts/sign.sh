#!/usr/bin/env bash
# Signs Windows programs in place with Authenticode (SHA-256) when the environment names a
# certificate, and otherwise says that they stay unsigned:
#   HALVIK_SIGN_PKCS12         a PKCS#12 file (.pfx, .p12) holding the key and its certificates; or
#   HALVIK_SIGN_PKCS11_KEY     the PKCS#11 URI of a key on a token, with
#   HALVIK_SIGN_PKCS11_MODULE  the token's PKCS#11 module and
#   HALVIK_SIGN_CERTS          the key's certificate and its chain (PEM);
#   HALVIK_SIGN_PASSWORD       the PKCS#12 file's password or the token's PIN, if it has one (empty
#                              counts as none);
#   HALVIK_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server, if one is to vouch for the time.
# Files and programs are named from the folder the script is started in. The password reaches
# osslsigncode only through a pipe (-readpass), never a command line, and is never traced: under
# bash -x, or with xtrace in an exported SHELLOPTS, tracing is off wherever the password or what
# osslsigncode printed is expanded. A key's URI that carries its PIN (pin-value=) is refused, as
# the PIN would be on osslsigncode's command line.
# Without a time-stamping server the signature carries a fixed signing time, SOURCE_DATE_EPOCH or
# else the time of the commit being signed, so that signing the same program twice with an RSA key
# gives the same bytes.
#   sign.sh PROGRAM...
set -euo pipefail

# untraced COMMAND [ARGUMENT...]
# runs the command with tracing switched off, silently, and switches it back on if it was on.
untraced() {
  local options=$-
  { set +x; } 2>/dev/null
  "$@"
  [[ $options != *x* ]] || set -x
}

# from_callers_folder NAME: makes the relative path in the variable NAME absolute, from the folder
# the script was started in (common.sh enters the repository's root).
from_callers_folder() {
  [ -z "${!1:-}" ] || [[ ${!1} = /* ]] || printf -v "$1" '%s/%s' "$PWD" "${!1}"
}

for name in HALVIK_SIGN_PKCS12 HALVIK_SIGN_CERTS HALVIK_SIGN_PKCS11_MODULE; do
  from_callers_folder "$name"
done
programs=("$@")
for index in "${!programs[@]}"; do
  from_callers_folder "programs[$index]"
done
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"

refuse_pin_in_key() {
  [[ ${HALVIK_SIGN_PKCS11_KEY:-} != *pin-value=* ]] ||
    fail "HALVIK_SIGN_PKCS11_KEY holds the token's PIN (pin-value=), which a command line shows" \
      "take pin-value=... out of the key's URI and give the PIN in HALVIK_SIGN_PASSWORD"
}
untraced refuse_pin_in_key

if [ -n "${HALVIK_SIGN_PKCS12:-}" ]; then
  certificate=(-pkcs12 "$HALVIK_SIGN_PKCS12")
elif [ -n "${HALVIK_SIGN_PKCS11_KEY:-}" ]; then
  if [ -z "${HALVIK_SIGN_PKCS11_MODULE:-}" ] || [ -z "${HALVIK_SIGN_CERTS:-}" ]; then
    fail "a key on a token needs HALVIK_SIGN_PKCS11_MODULE and HALVIK_SIGN_CERTS too"
  fi
  certificate=(-pkcs11module "$HALVIK_SIGN_PKCS11_MODULE" -certs "$HALVIK_SIGN_CERTS"
    -key "$HALVIK_SIGN_PKCS11_KEY")
else
  echo "no certificate given (HALVIK_SIGN_PKCS12 or HALVIK_SIGN_PKCS11_KEY), left unsigned:" \
    "${programs[*]}"
  exit 0
fi
if [ -n "${HALVIK_SIGN_TIMESTAMP_URL:-}" ]; then
  signing_time=(-ts "$HALVIK_SIGN_TIMESTAMP_URL")
  when="time-stamped by $HALVIK_SIGN_TIMESTAMP_URL"
else
  epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)} ||
    fail "no signing time: set SOURCE_DATE_EPOCH outside a git checkout"
  signing_time=(-time "$epoch")
  when="signing time $(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC'), not time-stamped"
fi

# The password goes through a pipe that printf, a shell builtin, writes. None is given when it is
# empty, as osslsigncode would refuse an empty one.
osslsigncode_sign() {  # OSSLSIGNCODE-SIGN-ARGUMENT...
  if [ -n "${HALVIK_SIGN_PASSWORD:-}" ]; then
    osslsigncode sign -readpass <(printf '%s' "$HALVIK_SIGN_PASSWORD") "$@"
  else
    osslsigncode sign "$@"
  fi
}

sign() {  # PROGRAM
  local signed=$1.signed log
  rm -f "$signed"
  if ! log=$(osslsigncode_sign "${certificate[@]}" -h sha256 -n Halvik "${signing_time[@]}" \
    -in "$1" -out "$signed" 2>&1); then
    rm -f "$signed"
    fail "osslsigncode could not sign $1: $log"
  fi
  mv "$signed" "$1"
}

for program in "${programs[@]}"; do
  untraced sign "$program"
  echo "signed $program (Authenticode SHA-256, $when)"
done
