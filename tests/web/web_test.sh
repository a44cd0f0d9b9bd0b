#!/usr/bin/env bash
# The browser tests' entry for CTest.
#   web_test.sh setup        puppeteer-core as package-lock.json pins it (npm ci, once)
#   web_test.sh TEST ARGS... node web_test.cjs TEST ARGS... (WEB_ENGINE=firefox: in firefox-esr)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = setup ]; then
  want=$(node -p "require('$here/package-lock.json').packages['node_modules/puppeteer-core'].version")
  have=$(node -p "try { require('$here/node_modules/puppeteer-core/package.json').version } catch (e) { '' }")
  [ "$want" = "$have" ] && exit 0
  cd "$here" && npm ci --no-audit --no-fund --loglevel=error
  exit 0
fi
exec node "$here/web_test.cjs" "$@"
