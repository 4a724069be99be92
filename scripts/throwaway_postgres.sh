# A throwaway PostgreSQL server for the tests, sourced by scripts/test.
#
#   source scripts/throwaway_postgres.sh
#   if throwaway_postgres_start; then ...; fi     # sets WAYFIND_TEST_PG
#   throwaway_postgres_stop                      # also runs from the EXIT trap
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
  (
    cd "$WAYFIND_PG_DIR" || exit 1
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
