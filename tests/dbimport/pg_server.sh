#!/usr/bin/env bash
# Starts or stops the private PostgreSQL 15 server of the database import tests.
#   pg_server.sh start <state folder>   initdb in a fresh temporary folder, start on a free
#                                       port of 127.0.0.1, load data/pg_fixture.sql, write
#                                       <state folder>/connection.json
#   pg_server.sh stop <state folder>    stop it and remove its folder
# As root, the server's own commands run as the postgres user (initdb refuses root).
set -euo pipefail

action="${1:?usage: pg_server.sh start|stop <state folder>}"
state="${2:?usage: pg_server.sh start|stop <state folder>}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bin=/usr/lib/postgresql/15/bin
database=citest
admin=velmora_admin

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop_server() {
    [ -f "$state/server_dir" ] || return 0
    local dir
    dir="$(cat "$state/server_dir")"
    if [ -d "$dir/data" ] && [ -x "$bin/pg_ctl" ]; then
        as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    rm -f "$state/server_dir" "$state/connection.json"
}

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_server() {
    for tool in initdb pg_ctl psql; do
        if [ ! -x "$bin/$tool" ]; then
            echo "PostgreSQL 15 is not installed ($bin/$tool is missing): install the Debian package postgresql (tools/packages.txt)" >&2
            exit 1
        fi
    done
    mkdir -p "$state"
    local dir
    dir="$(mktemp -d "${TMPDIR:-/tmp}/velmora-pg.XXXXXX")"
    echo "$dir" >"$state/server_dir"
    local admin_password
    admin_password="$(/usr/bin/python3 -c 'import secrets; print(secrets.token_hex(16))')"
    printf '%s\n' "$admin_password" >"$dir/pwfile"
    if [ "$(id -u)" -eq 0 ]; then
        chown -R postgres:postgres "$dir"
    fi
    chmod 700 "$dir"
    as_server "$bin/initdb" -D "$dir/data" -U "$admin" --auth=scram-sha-256 --pwfile="$dir/pwfile" \
        --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2
        exit 1
    }
    rm -f "$dir/pwfile"

    local port="" attempt
    for attempt in 1 2 3 4 5; do
        port="$(free_port)"
        if as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c max_locks_per_transaction=1024" start >/dev/null; then
            break
        fi
        port=""
    done
    if [ -z "$port" ]; then
        echo "The test server did not start; its log:" >&2
        cat "$dir/server.log" >&2 || true
        exit 1
    fi

    export PGPASSWORD="$admin_password"
    local psql=("$bin/psql" -X -q -h 127.0.0.1 -p "$port" -U "$admin" -v ON_ERROR_STOP=1)
    "${psql[@]}" -d postgres -c "CREATE DATABASE $database"
    "${psql[@]}" -d "$database" -f "$here/data/pg_fixture.sql"
    cat >"$state/connection.json" <<JSON
{"host": "127.0.0.1", "port": $port, "dbname": "$database", "user": "inspector", "password": "-p@ss word ",
 "admin_user": "$admin", "admin_password": "$admin_password"}
JSON
    echo "PostgreSQL test server on 127.0.0.1:$port (folder $dir)"
}

case "$action" in
start)
    stop_server
    start_server
    ;;
stop)
    stop_server
    ;;
*)
    echo "usage: pg_server.sh start|stop <state folder>" >&2
    exit 2
    ;;
esac
