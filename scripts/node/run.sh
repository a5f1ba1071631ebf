#!/bin/sh
# usage: run.sh [SCRIPT [ARG...]]: runs SCRIPT of this folder (lint.mjs by default) in it, with
# the packages pinned in package-lock.json, installed by `npm ci` when missing or out of date.
set -eu
cd "$(dirname "$0")"
if ! cmp -s package-lock.json node_modules/.installed-lock.json; then
  echo "installing the packages: npm ci in scripts/node"
  npm ci --prefer-offline --loglevel=error >/dev/null
  cp package-lock.json node_modules/.installed-lock.json
fi
[ $# -gt 0 ] || set -- lint.mjs
exec node "$@"
