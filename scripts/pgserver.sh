#!/usr/bin/env bash
# Starts (or stops) a PostgreSQL server of its own for stations to share, in a folder under
# build/, on the loopback address, and prints the values to type into the SQL panel.
#
#   scripts/pgserver.sh start|stop|status [--dir DIR] [--port N] [--user NAME]
#                       [--password TEXT] [--database NAME] [--throwaway] [--env]
#
# --dir       the server's folder (default build/pgserver): data, socket, log, password
# --port      loopback port (default: the one it had in this folder, else the first free one from 5433)
# --throwaway no flushing to disk: for test servers whose data nobody keeps
# --env       print shell exports (CHRONOTALLY_PG_HOST, _PORT, _USER, _PASSWORD, _DB, _SOCKET)
#             instead of the panel values
# Run as root, the server runs as the postgres system user.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

action=${1:-start}
shift || true
dir="$root/build/pgserver"
port=""
user=chronotally
password=""
database=Stampwell
throwaway=0
env=0
while [ $# -gt 0 ]; do
  case "$1" in
    --dir) dir=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --user) user=$2; shift 2 ;;
    --password) password=$2; shift 2 ;;
    --database) database=$2; shift 2 ;;
    --throwaway) throwaway=1; shift ;;
    --env) env=1; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
case "$user$database" in
  *[!A-Za-z0-9_]*) echo "the user and database names take letters, digits and _ only" >&2; exit 2 ;;
esac

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "PostgreSQL is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# The server refuses to run as root: it runs as the postgres system user, which owns the folder.
owner=$(id -un)
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  owner=postgres
  as_owner=(runuser -u postgres --)
fi

# A folder the postgres user cannot reach (under a private home folder), or one too deep for
# a socket's path, is replaced by one under /tmp; the folder asked for says where.
if [ ! -f "$dir/elsewhere" ]; then
  reachable=1
  [ ${#as_owner[@]} -eq 0 ] || "${as_owner[@]}" test -x "$dir" 2>/dev/null || reachable=0
  if [ "$reachable" -eq 0 ] || [ ${#dir} -gt 70 ]; then
    printf '%s\n' "/tmp/chronotally-pg-$(printf '%s' "$dir" | md5sum | cut -c1-12)" >"$dir/elsewhere"
  fi
fi
if [ -f "$dir/elsewhere" ]; then
  dir=$(cat "$dir/elsewhere")
  mkdir -p "$dir"
fi
data="$dir/data"
socket="$dir/socket"

print_values() {
  local p
  p=$(cat "$dir/port")
  user=$(cat "$dir/user")
  database=$(cat "$dir/database")
  if [ "$env" -eq 1 ]; then
    printf 'export CHRONOTALLY_PG_HOST=127.0.0.1\n'
    printf 'export CHRONOTALLY_PG_PORT=%s\n' "$p"
    printf 'export CHRONOTALLY_PG_USER=%s\n' "$user"
    printf 'export CHRONOTALLY_PG_PASSWORD=%s\n' "$(cat "$dir/password")"
    printf 'export CHRONOTALLY_PG_DB=%s\n' "$database"
    printf 'export CHRONOTALLY_PG_SOCKET=%s\n' "$socket"
  else
    echo "PostgreSQL is running (folder $dir)."
    echo "On the SQL panel choose \"PostgreSQL\" and type:"
    echo "  User Name:  $user"
    echo "  Password:   $(cat "$dir/password")"
    echo "  DB Name:    $database"
    echo "  IP Address: 127.0.0.1:$p"
    echo "Stop it with: scripts/pgserver.sh stop --dir $dir"
  fi
}

running() {
  [ -f "$data/PG_VERSION" ] && "${as_owner[@]}" "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1
}

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

case "$action" in
  stop)
    if running; then
      "${as_owner[@]}" "$bin/pg_ctl" -D "$data" -m fast -w stop >/dev/null
    fi
    exit 0
    ;;
  status)
    if running; then print_values; else echo "not running"; exit 3; fi
    exit 0
    ;;
  start) ;;
  *) echo "usage: $0 start|stop|status [options]" >&2; exit 2 ;;
esac

if running; then
  print_values
  exit 0
fi

if [ ! -f "$dir/password" ]; then
  [ -n "$password" ] || password=$(head -c 64 /dev/urandom | tr -dc 'A-Za-z0-9' | head -c 16)
  printf '%s' "$password" >"$dir/password"
  chmod 600 "$dir/password"
elif [ -n "$password" ]; then
  printf '%s' "$password" >"$dir/password"
fi
password=$(cat "$dir/password")
mkdir -p "$socket"
[ "$owner" = "$(id -un)" ] || chown -R "$owner" "$dir"

if [ ! -f "$data/PG_VERSION" ]; then
  "${as_owner[@]}" "$bin/initdb" -D "$data" -U "$owner" -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    exit 1
  }
  # The cluster's owner logs in through the socket as the same system user; everybody else
  # with a password.
  cat >"$data/pg_hba.conf" <<EOF
local all $owner peer
local all all scram-sha-256
host all all 127.0.0.1/32 scram-sha-256
host all all ::1/128 scram-sha-256
EOF
fi

# A server started again in its folder keeps the port it had, so that stations set up for it
# find it again; it fails rather than move when another program has taken the port meanwhile.
if [ -z "$port" ] && [ -f "$dir/port" ] && [ -f "$data/PG_VERSION" ]; then
  port=$(cat "$dir/port")
  if ! port_free "$port"; then
    echo "port $port of this server is taken by another program; give --port to move it" >&2
    exit 1
  fi
fi
if [ -z "$port" ]; then
  port=5433
  while ! port_free "$port"; do port=$((port + 1)); done
fi
echo "$port" >"$dir/port"
echo "$user" >"$dir/user"
echo "$database" >"$dir/database"

options="-p $port -k $socket -c listen_addresses=127.0.0.1"
if [ "$throwaway" -eq 1 ]; then
  options="$options -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
fi
"${as_owner[@]}" "$bin/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 30 -o "$options" start >/dev/null || {
  tail -20 "$dir/server.log" >&2
  exit 1
}

psql=("${as_owner[@]}" "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$socket" -p "$port" -d postgres)
"${psql[@]}" -v user="$user" -v password="$password" -v database="$database" >/dev/null <<'EOF'
SELECT format('CREATE ROLE %I LOGIN CREATEDB', :'user') WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = :'user') \gexec
ALTER ROLE :"user" PASSWORD :'password';
SELECT format('CREATE DATABASE %I OWNER %I', :'database', :'user') WHERE NOT EXISTS (SELECT FROM pg_database WHERE datname = :'database') \gexec
EOF

print_values
