#!/usr/bin/env bash
# The companion server under load, beside nginx serving the same bytes from a file in the same
# run. Every request comes on a new connection, as the program makes them (wrk with
# "Connection: close"), 64 at a time, for HUILAN_LOAD_SECONDS (default 10) a page:
#   board   /gpjgshow.asp  the newest board posts: every user every 30 s, the hottest page
#   online  /gpreadall.asp the online count (a write and a read a request)
#   status  /gplogin.asp   the status page every program start asks for
#   mirror  POST /gpycf.asp the phone switch, as the program mirrors its settings (one write)
# on SQLite (one data folder) and on PostgreSQL (a throwaway cluster), one huilan-server command
# with its default workers each. Prints a table and FIGURE lines for scripts/bench.
#   HUILAN_SERVER_BIN   the huilan-server to measure (scripts/bench sets it)
set -euo pipefail

server_bin=${HUILAN_SERVER_BIN:?set HUILAN_SERVER_BIN to the huilan-server to measure}
seconds=${HUILAN_LOAD_SECONDS:-10}
connections=64
for tool in wrk nginx; do
  command -v "$tool" >/dev/null || { echo "bench_companion_load: $tool is not installed (scripts/setup)" >&2; exit 1; }
done
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)

work=$(mktemp -d /tmp/huilan-load-XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  [ -d "$work/pg" ] && as_pg "$pgbin/pg_ctl" -D "$work/pg" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# PostgreSQL refuses to run as root: its commands run as the postgres user then.
as_pg() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# Starts huilan-server with `$@` and waits for its port.
start_server() {
  local port=$1; shift
  "$server_bin" --port "$port" --posts-per-day 100 "$@" >"$work/server-$port.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$port/gpall.asp" && return 0
    sleep 0.1
  done
  echo "bench_companion_load: huilan-server did not start:" >&2
  cat "$work/server-$port.log" >&2
  exit 1
}

# Twenty posts from one address, so the board page is as long as it gets.
fill_board() {
  for i in $(seq 20); do
    curl -s -o /dev/null --data "gpdm=600036&gpmc=%D5%D0%C9%CC%D2%F8%D0%D0&tjly=load+test+post+$i" \
      "http://127.0.0.1:$1/gpjg.asp"
  done
}

# Requests a second and the 99th percentile in ms of one page: "RATE P99".
measure() {
  local url=$1 script=${2:-}
  local args=(-t 2 -c "$connections" -d "${seconds}s" --latency -H "Connection: close")
  [ -n "$script" ] && args+=(-s "$script")
  local out
  out=$(wrk "${args[@]}" "$url")
  local rate p99
  rate=$(awk '/^Requests\/sec:/ { print $2 }' <<<"$out")
  p99=$(awk '$1 == "99%" { v = $2; if (v ~ /us$/) { sub(/us$/, "", v); v /= 1000 } else if (v ~ /ms$/) { sub(/ms$/, "", v) } else if (v ~ /s$/) { sub(/s$/, "", v); v *= 1000 } print v }' <<<"$out")
  local errors
  errors=$(awk '/Non-2xx|Socket errors/ { print }' <<<"$out")
  [ -n "$errors" ] && echo "  ($url: $errors)" >&2
  echo "${rate:-0} ${p99:-0}"
}

cat >"$work/mirror.lua" <<'EOF'
wrk.method = "POST"
wrk.body = "sn=13800138000&ycf=1"
wrk.headers["Content-Type"] = "application/x-www-form-urlencoded"
EOF

# SQLite.
sqlite_port=$(free_port)
start_server "$sqlite_port" --data "$work/sqlite"
curl -s -o /dev/null --data "sn=13800138000" "http://127.0.0.1:$sqlite_port/gpaddsj.asp"
fill_board "$sqlite_port"

# PostgreSQL: a throwaway cluster on a free port.
pg_port=""
if [ -n "$pgbin" ]; then
  pg_port=$(free_port)
  mkdir "$work/pg" && chown postgres: "$work/pg" 2>/dev/null || true
  as_pg "$pgbin/initdb" -D "$work/pg" -A trust -U postgres >/dev/null
  as_pg "$pgbin/pg_ctl" -D "$work/pg" -l "$work/pg/log" -w \
    -o "-p $pg_port -k $work/pg -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" start >/dev/null
  as_pg "$pgbin/createdb" -h 127.0.0.1 -p "$pg_port" -U postgres huilan
  pgsrv_port=$(free_port)
  start_server "$pgsrv_port" --data "$work/pgdata" --database "postgresql://postgres@127.0.0.1:$pg_port/huilan"
  curl -s -o /dev/null --data "sn=13800138000" "http://127.0.0.1:$pgsrv_port/gpaddsj.asp"
  fill_board "$pgsrv_port"
fi

# nginx with two workers serving what the server answers, from files.
nginx_port=$(free_port)
mkdir -p "$work/www"
for page in gpjgshow.asp gpreadall.asp gplogin.asp; do
  curl -s "http://127.0.0.1:$sqlite_port/$page" >"$work/www/$page"
done
cat >"$work/nginx.conf" <<EOF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  default_type "text/html; charset=gbk";
  client_body_temp_path $work/nginx-body;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/www;
    # A POST answered from the file too, so the mirror row has its comparison.
    error_page 405 =200 \$uri;
  }
}
EOF
nginx -c "$work/nginx.conf" -p "$work"

printf "%-8s %-12s %12s %10s\n" page server "requests/s" "p99 ms"
declare -A rate p99
for row in "board /gpjgshow.asp" "online /gpreadall.asp" "status /gplogin.asp" "mirror /gpycf.asp"; do
  read -r name path <<<"$row"
  script=""; [ "$name" = mirror ] && script=$work/mirror.lua
  nginx_path=$path; [ "$name" = mirror ] && nginx_path=/gpreadall.asp
  for who in nginx sqlite postgresql; do
    case $who in
      nginx) port=$nginx_port ;;
      sqlite) port=$sqlite_port ;;
      postgresql) [ -n "$pg_port" ] || continue; port=$pgsrv_port ;;
    esac
    p=$path; [ "$who" = nginx ] && p=$nginx_path
    read -r r q < <(measure "http://127.0.0.1:$port$p" "$( [ "$who" != nginx ] && echo "$script" )")
    rate[$name.$who]=$r; p99[$name.$who]=$q
    printf "%-8s %-12s %12.0f %10.2f\n" "$name" "$who" "$r" "$q"
  done
done

# Figures: each server's rate as a share of nginx's on the same page, and its 99th percentile.
for name in board online status mirror; do
  for who in sqlite postgresql; do
    [ -n "${rate[$name.$who]:-}" ] || continue
    awk -v n="$name" -v w="$who" -v r="${rate[$name.$who]}" -v g="${rate[$name.nginx]}" -v q="${p99[$name.$who]}" \
      'BEGIN { printf "FIGURE load_%s_%s_nginx_over_ours %.2f x\nFIGURE load_%s_%s_p99_ms %.2f ms\nFIGURE load_%s_%s_rps %.0f req/s\n", n, w, (r > 0 ? g / r : 99), n, w, q, n, w, r }'
  done
done
