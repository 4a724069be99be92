/* The floor of a server login: a process that connects to a PostgreSQL
 * database, runs SELECT 1 and leaves. Whatever a client of the ERP does
 * beyond this (its own start, the statements of a login, building the tree)
 * is the client's cost; this is the server's and the operating system's.
 *
 *   bench_pg_connect_floor URI
 *
 * Exits 0 when the answer was 1, 1 (with the server's message) otherwise. */
#include <libpq-fe.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s URI\n", argv[0]);
    return 2;
  }
  PGconn* conn = PQconnectdb(argv[1]);
  if (PQstatus(conn) != CONNECTION_OK) {
    fprintf(stderr, "%s", PQerrorMessage(conn));
    PQfinish(conn);
    return 1;
  }
  PGresult* res = PQexec(conn, "SELECT 1");
  const int ok = PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) == 1 && strcmp(PQgetvalue(res, 0, 0), "1") == 0;
  if (!ok) fprintf(stderr, "%s", PQerrorMessage(conn));
  PQclear(res);
  PQfinish(conn);
  return ok ? 0 : 1;
}
