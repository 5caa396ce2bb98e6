#!/usr/bin/env bash
# The test code-signing certificates the -local builds sign the stub
# application with, issued by the test CA of the step before.
exec sh "$(dirname "$0")/../rig/make_code_signers.sh"
