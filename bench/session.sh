# Sourced by the bench scripts: they run on a private session bus of their own, in a work
# folder, and what they start (PIDS) goes with them.
# Usage: bench_session <marker variable> <work folder prefix> <the script's arguments...>
bench_session() {
  local marker=$1 prefix=$2
  shift 2
  if [ -z "${!marker:-}" ]; then
    export "$marker=1"
    exec dbus-run-session -- "$0" "$@"
  fi
  WORK=$(mktemp -d "/tmp/$prefix.XXXXXX")
  PIDS=()
  trap bench_cleanup EXIT
}
bench_cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
