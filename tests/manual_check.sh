#!/usr/bin/env bash
# Every failure the library can report has its entry in the manual:
#   manual_check.sh TEST_IMAGE_TOOL MANUAL
# Each text is looked for as it is printed, with a name it fills in ("%s")
# standing for anything.
set -u
source "$(dirname "$0")/checks.sh"
while IFS= read -r text; do
  found=true
  while IFS= read -r piece; do
    [ -z "$piece" ] || grep -qF -- "$piece" "$2" || found=false
  done < <(printf '%s\n' "${text//%s/$'\n'}")
  expect "the manual has: $text" $found
done < <("$1" failures)
finish_checks
