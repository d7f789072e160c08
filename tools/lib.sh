# Shared steps of tools/test and tools/run: install, build, and the private display, Wine prefix
# and PostgreSQL cluster. Sourced, not run. Everything started is recorded and stopped by PID.

VANTREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$VANTREL_ROOT/build}
PG_BIN=/usr/lib/postgresql/15/bin
WINESERVER=/usr/lib/wine/wineserver
STARTED_PIDS=()

PACKAGES=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 xvfb xauth cmake googletest
          postgresql-15 postgresql-15-orafce unixodbc odbc-postgresql xdotool imagemagick
          x11-utils clang libclang-rt-14-dev)

log() { printf '[vantrel] %s\n' "$*" >&2; }

install_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_arch() {
    local arch=$1
    local dir=$BUILD_DIR/$arch
    # Tests run only in the 64-bit build; the 32-bit one builds the product and the benchmarks.
    local tests=ON
    [ "$arch" = x86_64 ] || tests=OFF
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$VANTREL_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=$tests \
              -DCMAKE_TOOLCHAIN_FILE="$VANTREL_ROOT/cmake/toolchain-$arch.cmake" >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)"
}

build_all() {
    build_arch x86_64
    # The 32-bit product is compiled and linked on every run; these machines cannot execute it.
    [ -n "${VANTREL_SKIP_I686:-}" ] || build_arch i686
}

start_display() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    STARTED_PIDS+=($!)
    export DISPLAY=":$n"
    local i
    for i in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    log "Xvfb did not start"; return 1
}

prepare_prefix() {
    export WINEPREFIX=$BUILD_DIR/wineprefix
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/.vantrel-ready" ]; then
        log "creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
        # Without a window manager, unmanaged windows give focus to Wine and close boxes fast.
        /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        "$WINESERVER" -w
        touch "$WINEPREFIX/.vantrel-ready"
    fi
}

free_port() {
    local p
    for p in $(seq "${1:-54330}" 54999); do
        (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return 0; }
    done
    return 1
}

# Private cluster on loopback: superuser postgres (trusted on the socket only), the test role
# vantrel with a password, database vantrel with orafce and the server package.
start_database() {
    local pgroot=$BUILD_DIR/pg
    if ! runuser -u postgres -- test -x "$BUILD_DIR" 2>/dev/null; then
        pgroot=/var/tmp/vantrel-pg-$(printf '%s' "$BUILD_DIR" | md5sum | cut -c1-12)
    fi
    mkdir -p "$pgroot"
    chown postgres "$pgroot"
    PGDATA_DIR=$pgroot/data
    export PGHOST=$pgroot PGUSER=postgres
    export VANTREL_DB_USER=vantrel VANTREL_DB_PASSWORD=vantrel-pw VANTREL_DSN=VantrelTest
    export VANTREL_ADMIN_USER=vantrel_admin VANTREL_ADMIN_PASSWORD=admin-pw
    local fresh=0
    if [ ! -f "$PGDATA_DIR/PG_VERSION" ]; then
        log "creating PostgreSQL cluster in $PGDATA_DIR"
        runuser -u postgres -- "$PG_BIN/initdb" -D "$PGDATA_DIR" -E UTF8 --locale=C.UTF-8 \
            --auth-local=trust --auth-host=scram-sha-256 >/dev/null
        fresh=1
    fi
    # A server left behind by a run that was killed holds the data folder: stop it first.
    if [ -f "$PGDATA_DIR/postmaster.pid" ]; then
        runuser -u postgres -- "$PG_BIN/pg_ctl" -D "$PGDATA_DIR" -m fast -w -s stop 2>/dev/null || true
    fi
    PGPORT=$(free_port)
    export PGPORT
    runuser -u postgres -- "$PG_BIN/pg_ctl" -D "$PGDATA_DIR" -l "$pgroot/server.log" -w -s \
        -o "-p $PGPORT -k $pgroot -c listen_addresses=127.0.0.1" start
    PG_POSTMASTER_PID=$(head -1 "$PGDATA_DIR/postmaster.pid")
    if [ $fresh = 1 ]; then
        psql -q -v ON_ERROR_STOP=1 -d postgres <<SQL >/dev/null
CREATE ROLE vantrel LOGIN PASSWORD '$VANTREL_DB_PASSWORD';
CREATE ROLE vantrel_admin LOGIN SUPERUSER PASSWORD '$VANTREL_ADMIN_PASSWORD';
CREATE DATABASE vantrel OWNER vantrel;
\c vantrel
CREATE EXTENSION orafce;
SQL
    fi
    install_server_package
    write_odbc_ini "$pgroot"
}

install_server_package() {
    local sql=$VANTREL_ROOT/server/postgresql/vantrel.sql
    [ -f "$sql" ] && psql -q -v ON_ERROR_STOP=1 -d vantrel -f "$sql" >/dev/null
    return 0
}

write_odbc_ini() {
    local dir=$BUILD_DIR/odbc
    mkdir -p "$dir"
    cat > "$dir/odbcinst.ini" <<INI
[PostgreSQL ANSI]
Description=psqlODBC ANSI driver
Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so
INI
    cat > "$dir/odbc.ini" <<INI
[$VANTREL_DSN]
Driver=PostgreSQL ANSI
Servername=127.0.0.1
Port=$PGPORT
Database=vantrel
INI
    export ODBCSYSINI=$dir ODBCINI=$dir/odbc.ini
}

stop_database() {
    [ -n "${PG_POSTMASTER_PID:-}" ] || return 0
    # A fault test may have stopped and started the server: stop the one running now.
    if [ -f "$PGDATA_DIR/postmaster.pid" ]; then
        PG_POSTMASTER_PID=$(head -1 "$PGDATA_DIR/postmaster.pid")
    fi
    kill -INT "$PG_POSTMASTER_PID" 2>/dev/null
    local i
    for i in $(seq 100); do kill -0 "$PG_POSTMASTER_PID" 2>/dev/null || break; sleep 0.1; done
    PG_POSTMASTER_PID=
}

stop_all() {
    set +e
    [ -n "${WINEPREFIX:-}" ] && [ -x "$WINESERVER" ] && "$WINESERVER" -k 2>/dev/null
    stop_database
    local pid
    for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${STARTED_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    STARTED_PIDS=()
}
