#!/bin/sh
# Makes the test CA and the package server's certificate (localhost,
# 127.0.0.1) and adds the CA to the system trust store, which is where Wine's
# WinHTTP looks when it validates a server. Safe to run again: what exists is
# kept. Needs root (the trust store) and openssl.
set -eu
DIR=${KORVANE_TEST_CA_DIR:-/var/lib/korvane-test-ca}
TRUST=/usr/local/share/ca-certificates/korvane-test-ca.crt

mkdir -p "$DIR"
cd "$DIR"
if [ ! -s ca.key ] || [ ! -s ca.crt ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
    -keyout ca.key -out ca.crt -subj "/CN=Korvane Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  rm -f server.crt
fi
if [ ! -s server.key ] || [ ! -s server.crt ]; then
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout server.key -out server.csr \
    -subj "/CN=localhost" 2>/dev/null
  printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
    "extendedKeyUsage=serverAuth" "subjectAltName=DNS:localhost,IP:127.0.0.1" > server.ext
  openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 3650 -sha256 \
    -extfile server.ext -out server.crt 2>/dev/null
  rm -f server.csr
fi
# A second, self-made CA that nobody trusts, for the test that a server the
# installer cannot validate gets nothing written.
if [ ! -s untrusted.key ] || [ ! -s untrusted.crt ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
    -keyout untrusted.key -out untrusted.crt -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
fi
chmod 644 ca.crt server.crt untrusted.crt
chmod 644 server.key untrusted.key  # test keys, read by the test servers of any user
chmod 600 ca.key
if ! cmp -s ca.crt "$TRUST"; then
  cp ca.crt "$TRUST"
  update-ca-certificates >/dev/null
fi
echo "$DIR"
