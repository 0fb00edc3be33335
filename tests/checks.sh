# Brenvik tests: what the check scripts share. Sourced; each check is
#   expect "what it shows" COMMAND...
# and `finish_checks` ends the script with the count.
failures=0
pass() { echo "ok   $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
expect() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish_checks() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
