#!/usr/bin/env bash
# The test CA that Wine's TLS (the host's trust store) must trust for the
# local package server.
exec sh "$(dirname "$0")/../rig/install_test_ca.sh"
