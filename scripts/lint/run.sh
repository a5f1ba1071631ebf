#!/bin/sh
# Lints .github/workflows/ and checks the syntax of tests/windows/*.ps1 (lint.mjs), with the
# linters pinned in package-lock.json, installed by `npm ci` when missing or out of date.
set -eu
cd "$(dirname "$0")"
if ! cmp -s package-lock.json node_modules/.installed-lock.json; then
  echo "installing the linters: npm ci in scripts/lint"
  npm ci --prefer-offline --loglevel=error >/dev/null
  cp package-lock.json node_modules/.installed-lock.json
fi
exec node lint.mjs
