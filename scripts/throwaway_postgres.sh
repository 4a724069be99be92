# A throwaway PostgreSQL server for the tests, sourced by scripts/test.
#
#   source scripts/throwaway_postgres.sh
#   if throwaway_postgres_start; then ...; fi     # sets WAYFIND_TEST_PG
#   throwaway_postgres_stop                      # also runs from the EXIT trap
#
# And a pair of servers for the failover test, a primary and a streaming
# standby made from it with pg_basebackup -R, run as a command by that test:
#
#   bash scripts/throwaway_postgres.sh pair-start DIR    # prints the pair's URI
#   bash scripts/throwaway_postgres.sh pair-restart DIR  # restarts the primary
#   bash scripts/throwaway_postgres.sh pair-stop-primary DIR | pair-start-primary DIR
#   bash scripts/throwaway_postgres.sh pair-failover DIR # primary killed, standby promoted
#   bash scripts/throwaway_postgres.sh pair-stop DIR     # both stopped, DIR removed
#
# The server lives in a new temporary folder, listens on a Unix socket in that
# folder and on no TCP port, and trusts connections on that socket (only the
# folder's owner and root reach it). PostgreSQL refuses to run as root, so under
# root the server runs as the unprivileged "postgres" user that Debian's package
# creates. Nothing outside the folder is touched.

WAYFIND_PG_BIN="${WAYFIND_PG_BIN:-/usr/lib/postgresql/15/bin}"
WAYFIND_PG_DIR=""

# Runs a server program from inside the server's folder: the unprivileged user
# may not be allowed into the current directory (a clone under /root).
_throwaway_postgres_as() {
  _throwaway_postgres_in "$WAYFIND_PG_DIR" "$@"
}

_throwaway_postgres_in() {
  local dir="$1"
  shift
  (
    cd "$dir" || exit 1
    if [ "$(id -u)" -eq 0 ]; then
      runuser -u postgres -- "$@"
    else
      "$@"
    fi
  )
}

throwaway_postgres_start() {
  if [ ! -x "$WAYFIND_PG_BIN/initdb" ] || [ ! -x "$WAYFIND_PG_BIN/pg_ctl" ]; then
    echo "throwaway PostgreSQL: no server binaries in $WAYFIND_PG_BIN" >&2
    return 1
  fi
  if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
    echo "throwaway PostgreSQL: running as root and there is no 'postgres' user to run the server as" >&2
    return 1
  fi
  WAYFIND_PG_DIR="$(mktemp -d "${TMPDIR:-/tmp}/wayfind-pg-XXXXXX")" || return 1
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$WAYFIND_PG_DIR" || return 1; fi
  chmod 700 "$WAYFIND_PG_DIR"
  trap throwaway_postgres_stop EXIT
  if ! _throwaway_postgres_as "$WAYFIND_PG_BIN/initdb" -D "$WAYFIND_PG_DIR/data" -U postgres --auth=trust \
      -E UTF8 --locale=C.UTF-8 >"$WAYFIND_PG_DIR/initdb.log" 2>&1; then
    echo "throwaway PostgreSQL: initdb failed:" >&2
    cat "$WAYFIND_PG_DIR/initdb.log" >&2
    return 1
  fi
  # A test server: no TCP, no durability needed, enough connections for the load tests.
  if ! _throwaway_postgres_as "$WAYFIND_PG_BIN/pg_ctl" -D "$WAYFIND_PG_DIR/data" -l "$WAYFIND_PG_DIR/server.log" -w \
      -t 60 -o "-c listen_addresses='' -k $WAYFIND_PG_DIR -c fsync=off -c synchronous_commit=off \
      -c full_page_writes=off -c max_connections=100 -c shared_buffers=64MB" start >/dev/null; then
    echo "throwaway PostgreSQL: the server did not start:" >&2
    cat "$WAYFIND_PG_DIR/server.log" >&2
    return 1
  fi
  export WAYFIND_TEST_PG="postgresql:///postgres?host=$WAYFIND_PG_DIR&user=postgres"
  return 0
}

throwaway_postgres_stop() {
  if [ -n "$WAYFIND_PG_DIR" ] && [ -d "$WAYFIND_PG_DIR" ]; then
    if [ -f "$WAYFIND_PG_DIR/data/postmaster.pid" ]; then
      _throwaway_postgres_as "$WAYFIND_PG_BIN/pg_ctl" -D "$WAYFIND_PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$WAYFIND_PG_DIR"
  fi
  WAYFIND_PG_DIR=""
  unset WAYFIND_TEST_PG
}

# ---- a primary and a streaming standby, for the failover test ----
#
# Both listen only on Unix sockets in DIR, the primary on port 55432 and the
# standby on 55433: the pair's URI names both hosts with
# target_session_attrs=read-write, so a client reaches whichever is the primary.
# Replication is synchronous (the primary's synchronous_standby_names is given
# on its command line, so the promoted standby does not inherit it): a commit
# the primary acknowledged is on the standby, even when the primary is killed.

_pair_options() {  # port [extra options]
  echo "-c listen_addresses='' -k $_PAIR_DIR -p $1 -c fsync=off -c full_page_writes=off -c max_connections=40 -c shared_buffers=32MB ${2:-}"
}

_pair_ctl() {  # data-folder action [options]
  local data="$1" action="$2"
  shift 2
  _throwaway_postgres_in "$_PAIR_DIR" "$WAYFIND_PG_BIN/pg_ctl" -D "$_PAIR_DIR/$data" -l "$_PAIR_DIR/$data.log" -w -t 60 "$@" "$action" >/dev/null
}

_pair_start_primary() {
  _pair_ctl primary start -o "$(_pair_options 55432 "-c synchronous_standby_names='*'")"
}

throwaway_postgres_pair_start() {
  _PAIR_DIR="$1"
  if [ ! -x "$WAYFIND_PG_BIN/pg_basebackup" ]; then
    echo "throwaway PostgreSQL pair: no server binaries in $WAYFIND_PG_BIN" >&2
    return 1
  fi
  mkdir -p "$_PAIR_DIR" || return 1
  if [ "$(id -u)" -eq 0 ]; then chown postgres: "$_PAIR_DIR" || return 1; fi
  chmod 700 "$_PAIR_DIR"
  _throwaway_postgres_in "$_PAIR_DIR" "$WAYFIND_PG_BIN/initdb" -D "$_PAIR_DIR/primary" -U postgres --auth=trust \
      -E UTF8 --locale=C.UTF-8 >"$_PAIR_DIR/initdb.log" 2>&1 || { cat "$_PAIR_DIR/initdb.log" >&2; return 1; }
  _pair_start_primary || { cat "$_PAIR_DIR/primary.log" >&2; return 1; }
  _throwaway_postgres_in "$_PAIR_DIR" "$WAYFIND_PG_BIN/pg_basebackup" -D "$_PAIR_DIR/standby" -R -X stream \
      -h "$_PAIR_DIR" -p 55432 -U postgres >"$_PAIR_DIR/basebackup.log" 2>&1 \
      || { cat "$_PAIR_DIR/basebackup.log" >&2; return 1; }
  _pair_ctl standby start -o "$(_pair_options 55433)" || { cat "$_PAIR_DIR/standby.log" >&2; return 1; }
  # Ready when the primary sees its standby streaming synchronously.
  local i
  for i in $(seq 1 300); do
    if [ "$(_throwaway_postgres_in "$_PAIR_DIR" "$WAYFIND_PG_BIN/psql" -X -A -t -h "$_PAIR_DIR" -p 55432 -U postgres \
          -d postgres -c "SELECT sync_state FROM pg_stat_replication WHERE state = 'streaming'" 2>/dev/null)" = sync ]; then
      echo "postgresql:///postgres?host=$_PAIR_DIR,$_PAIR_DIR&port=55432,55433&user=postgres&target_session_attrs=read-write"
      return 0
    fi
    sleep 0.1
  done
  echo "throwaway PostgreSQL pair: the standby never streamed" >&2
  cat "$_PAIR_DIR/standby.log" >&2
  return 1
}

throwaway_postgres_pair_stop() {
  _PAIR_DIR="$1"
  local data
  for data in primary standby; do
    if [ -f "$_PAIR_DIR/$data/postmaster.pid" ]; then _pair_ctl "$data" stop -m immediate || true; fi
  done
  rm -rf "$_PAIR_DIR"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  _PAIR_DIR="${2:?usage: $0 pair-start|pair-restart|pair-stop-primary|pair-start-primary|pair-failover|pair-stop DIR}"
  case "$1" in
    pair-start) throwaway_postgres_pair_start "$_PAIR_DIR" ;;
    pair-restart) _pair_ctl primary restart -m fast -o "$(_pair_options 55432 "-c synchronous_standby_names='*'")" ;;
    pair-stop-primary) _pair_ctl primary stop -m fast ;;
    pair-start-primary) _pair_start_primary ;;
    pair-failover) _pair_ctl primary stop -m immediate && _pair_ctl standby promote ;;
    pair-stop) throwaway_postgres_pair_stop "$_PAIR_DIR" ;;
    *) echo "unknown command $1" >&2; exit 2 ;;
  esac
fi
