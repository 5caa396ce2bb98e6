#!/bin/sh
# Makes the test code-signing certificates from the test CA that
# install_test_ca.sh made (run that first): "Korvane Test Signer", the
# signer the -local builds trust, and "Korvane Other Signer", a certificate
# from the same trusted CA with another subject, for the wrong-signer case.
# A third, self-signed, carries the trusted signer's very name but chains to
# no trusted root: what anybody can make.
# Safe to run again: what exists is kept. Needs openssl and the CA's key.
set -eu
DIR=${KORVANE_TEST_CA_DIR:-/var/lib/korvane-test-ca}
cd "$DIR"
[ -s ca.key ] && [ -s ca.crt ] || { echo "no test CA in $DIR: run install_test_ca.sh first" >&2; exit 1; }

printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" "subjectKeyIdentifier=hash" "authorityKeyIdentifier=keyid,issuer" \
  > codesign.ext

make_signer() {  # file stem, subject
  if [ -s "$1.key" ] && [ -s "$1.crt" ] && openssl verify -CAfile ca.crt "$1.crt" >/dev/null 2>&1; then
    return
  fi
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" -out "$1.csr" -subj "$2" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 3650 -sha256 \
    -extfile codesign.ext -out "$1.crt" 2>/dev/null
  rm -f "$1.csr"
  chmod 644 "$1.crt" "$1.key"  # test keys, used by the builds of any user
}

make_signer code-signer "/CN=Korvane Test Signer/O=Korvane Test"
make_signer other-signer "/CN=Korvane Other Signer/O=Korvane Test"
if [ ! -s impostor-signer.key ] || [ ! -s impostor-signer.crt ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
    -keyout impostor-signer.key -out impostor-signer.crt -subj "/CN=Korvane Test Signer/O=Korvane Test" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
  chmod 644 impostor-signer.crt impostor-signer.key
fi
echo "$DIR"
