#!/bin/bash
# Installs what the engine needs into ~/Library/Application Support/VARNO:
# a Python runtime, ffmpeg, the engine's libraries and the engine itself.
#
# VARNO runs it with VARNO_ORIGEN (this folder), VARNO_VERSION (the bundle's
# version) and a plain PATH, and reads its merged output line by line:
# "== N/7 Título" starts a step, any other line is a detail, and the last
# detail line is what the user sees when the run fails. It exits 0 only when
# everything is in place; instalado.txt, which names the version and tells
# VARNO that the installation is usable, is written last.
#
# What is downloaded, from where and with which SHA-256 sum is listed in
# manifiesto.txt; the libraries in requisitos.txt. The engine itself travels
# in this folder, as a wheel in ruedas/. VARNO_ESPEJO (a folder or a file://
# URL) takes every download from that mirror by its file name and the
# libraries from its ruedas/ folder, without touching the network.
#
# A run picks up where an earlier one stopped: finished steps are skipped and
# an interrupted download goes on from what is already on disk.
#
# Kept to what the bash 3.2 of macOS understands.

set -u -o pipefail
umask 022

# ---------------------------------------------------------------- helpers

SALTO=$'\n'
RETORNO=$'\r'
TEMPORALES=()   # folders to remove however the run ends
HIJO=""         # the long command running now, stopped together with us
VIGIA=""        # the loop that reports a download's progress
GUARDIAN=""     # the loop that notices when VARNO is gone
CERROJO=""      # this run's lock, once it holds it
PASO=0

decir() { printf '%s\n' "$*"; }

paso() {
    PASO=$1
    printf '== %s/7 %s\n' "$1" "$2"
}

# The last line printed is what the failure screen shows: one plain sentence
# that names what failed. When something could not be done and the disk is
# full, that is the reason, whatever the step's own guess (a write error, an
# installer's exit code, a missing package), and the one thing to mend first.
fallar() {
    local que=$1
    case $que in
    "No se pud"*)
        if [ -n "${DATOS:-}" ] && lleno ''; then
            que=${que%%:*}
            que=${que%% (*}
            que="${que%.}: el disco está lleno."
        fi
        ;;
    esac
    decir "$que"
    exit 1
}

# Whether the disk is full, by what a command wrote in the file $1 (if any) or by
# what is left beside DATOS: less than 50 MB, as a step that failed for want
# of room has often removed its temporary copies (pip's, ensurepip's) before
# anyone looks, and no step can go on with so little.
lleno() {
    local libres
    [ -n "$1" ] && grep -q 'No space left on device' "$1" 2>/dev/null && return 0
    libres=$(df -Pk "$DATOS" 2>/dev/null | awk 'NR == 2 { print $4 }')
    case $libres in '' | *[!0-9]*) return 1 ;; esac
    [ "$libres" -lt 51200 ]
}

# shellcheck disable=SC2317  # run by the traps below
limpiar() {
    local t
    [ -z "$VIGIA" ] || kill "$VIGIA" 2>/dev/null
    [ -z "$GUARDIAN" ] || kill "$GUARDIAN" 2>/dev/null
    for t in ${TEMPORALES[@]+"${TEMPORALES[@]}"}; do
        rm -rf "$t"
    done
    soltar_cerrojo
}

# shellcheck disable=SC2317
al_recibir_senal() {
    if [ -n "$HIJO" ]; then
        # Two levels: the command may run inside a pipeline (see con_copia).
        for hijo in $(pgrep -P "$HIJO" 2>/dev/null); do
            pkill -TERM -P "$hijo" 2>/dev/null
        done
        pkill -TERM -P "$HIJO" 2>/dev/null
        kill "$HIJO" 2>/dev/null
    fi
    decir "Instalación interrumpida."
    exit 143
}

trap limpiar EXIT
trap al_recibir_senal TERM INT HUP

# Long commands run in the background and are waited for, because bash holds
# a signal back until a foreground command ends: this way closing VARNO stops
# a download at once instead of leaving it running on its own.
en_marcha() {
    "$@" &
    HIJO=$!
    wait "$HIJO"
    local rc=$?
    HIJO=""
    return "$rc"
}

# Runs a command with its merged output passed on and kept in the file $1 too.
# shellcheck disable=SC2317  # run through en_marcha
con_copia() {
    local copia=$1
    shift
    "$@" 2>&1 | tee "$copia"
}

# The failure line when a certificate could not be checked: most often a
# company proxy that inspects secure connections with a certificate of its own.
# The window shows 160 characters; VARNO keeps its log beside the data.
fallar_por_certificado() {
    local registro="$DATOS/instalacion.log"
    case $registro in "$HOME"/*) registro="~${registro#"$HOME"}" ;; esac
    fallar "Certificado no reconocido, quizá de un proxy de empresa; SSL_CERT_FILE puede indicar el suyo. Registro: $registro"
}

# A fresh folder inside DATOS (so that moving out of it is a rename), in
# TEMPORAL; removed when the script ends.
nuevo_temporal() {
    TEMPORAL=$(mktemp -d "$DATOS/.tmp.XXXXXX") || fallar "No se pudo crear una carpeta temporal en $DATOS."
    TEMPORALES+=("$TEMPORAL")
}

# Only one run works on DATOS at a time. The lock is a link whose target is
# the run's pid: the link and its content are made in one step, so no kill
# can leave a lock that names nobody, and a lock whose run is gone is taken
# over. Another run still alive (its VARNO killed, or run by hand) is stopped.
tomar_cerrojo() {
    local lock="$DATOS/.instalando" otro _
    for _ in 1 2 3 4 5; do
        if ln -s "$$" "$lock" 2>/dev/null; then
            CERROJO=$lock
            return 0
        fi
        otro=$(readlink "$lock" 2>/dev/null)
        if es_instalador "$otro"; then
            decir "Otra instalación seguía en marcha en $DATOS; se detiene."
            parar_instalador "$otro"
        fi
        # Removed only while it still names the run found gone.
        [ "$(readlink "$lock" 2>/dev/null)" != "$otro" ] || rm -f "$lock"
    done
    fallar "Otra instalación está en marcha en $DATOS y no se detiene."
}

# shellcheck disable=SC2317  # run by limpiar
soltar_cerrojo() {
    if [ -n "$CERROJO" ] && [ "$(readlink "$CERROJO" 2>/dev/null)" = "$$" ]; then
        rm -f "$CERROJO"
    fi
}

# Whether $1 is the pid of a live run of this script (a pid may be reused).
es_instalador() {
    case $1 in '' | *[!0-9]*) return 1 ;; esac
    [ "$1" != "$$" ] && kill -0 "$1" 2>/dev/null || return 1
    case $(ps -o command= -p "$1" 2>/dev/null) in *instalar_mac.sh*) return 0 ;; esac
    return 1
}

# Stops the run $1 as closing VARNO would, with all it started when it leads
# its own process group (as VARNO starts it); one that does not end is killed.
parar_instalador() {
    local objetivo=$1 grupo _
    grupo=$(ps -o pgid= -p "$1" 2>/dev/null | tr -d ' ')
    [ "$grupo" != "$1" ] || objetivo=-$1
    kill -TERM -- "$objetivo" 2>/dev/null
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        es_instalador "$1" || return 0
        sleep 0.5
    done
    kill -KILL -- "$objetivo" 2>/dev/null
    sleep 0.5
}

# macOS tells no process that its parent died, so a loop looks: once the
# VARNO that started this run is gone, the run stops as if VARNO had closed
# it. It ends by itself when the run does.
vigilar_a_varno() {
    local padre=$PPID principal=$$ ahora
    [ "$padre" -gt 1 ] || return 0
    while kill -0 "$principal" 2>/dev/null; do
        ahora=$(ps -o ppid= -p "$principal" 2>/dev/null | tr -d ' ')
        case $ahora in '' | *[!0-9]* | "$padre") ;; *)
            kill -TERM "$principal" 2>/dev/null
            return 0
            ;;
        esac
        sleep 0.5
    done
}

suma_de() {
    local linea
    linea=$("${SUMADOR[@]}" <"$1") || return 1
    printf '%s\n' "${linea%% *}"
}

tamano() {
    local bytes
    bytes=$(wc -c <"$1" | tr -d ' ')
    awk -v b="$bytes" 'BEGIN { if (b < 1000000) printf "%d KB\n", b / 1000; else printf "%.1f MB\n", b / 1000000 }' | tr . ,
}

url_de_archivo() {
    local r=$1
    r=${r//\%/%25}
    r=${r// /%20}
    r=${r//\#/%23}
    r=${r//\?/%3F}
    printf 'file://%s\n' "$r"
}

# Steps already done are remembered in DATOS/.pasos, each with a key that
# changes whenever what the step installs would change. A step's files reach
# the disk before its key is written, so that a power cut never leaves a key
# for files that were lost; a key cut short only makes the step run again.
hecho() { [ "$(cat "$PASOS/$1" 2>/dev/null)" = "$2" ]; }
marcar() {
    sync
    printf '%s\n' "$2" >"$PASOS/$1" || fallar "No se pudo escribir en $DATOS."
}
olvidar() { rm -f "$PASOS/$1"; }

# ---------------------------------------------------------------- manifest

# Sets ITEM_SUMA and ITEM_URL for the item named $1 on this system.
item() {
    local nombre plataforma suma url
    ITEM_SUMA=""
    ITEM_URL=""
    while read -r nombre plataforma suma url _ || [ -n "$nombre" ]; do
        case $nombre in '' | '#'*) continue ;; esac
        [ "$nombre" = "$1" ] || continue
        case $plataforma in "$PLATAFORMA" | "$SISTEMA" | todas) ;; *) continue ;; esac
        url=${url%"$RETORNO"}
        suma=$(printf '%s' "$suma" | tr 'A-F' 'a-f')
        case $suma in *[!0-9a-f]* | '') fallar "El manifiesto tiene mal escrita la suma SHA-256 de $1." ;; esac
        [ "${#suma}" -eq 64 ] || fallar "El manifiesto tiene mal escrita la suma SHA-256 de $1."
        [ -n "$url" ] || fallar "El manifiesto no dice de dónde descargar $1."
        ITEM_SUMA=$suma
        ITEM_URL=$url
        return 0
    done <"$MANIFIESTO"
    return 1
}

# ---------------------------------------------------------------- downloads

motivo_curl() {
    case $1 in
        1) decir "la dirección usa un protocolo no admitido" ;;
        6) decir "no se encuentra el servidor" ;;
        7) decir "no se pudo conectar con el servidor" ;;
        18 | 56) decir "la conexión se cortó" ;;
        22) decir "el servidor respondió con un error" ;;
        23) decir "no se pudo escribir en el disco" ;;
        28) decir "se agotó el tiempo de espera" ;;
        37) decir "el archivo no existe" ;;
        *) decir "curl terminó con el código $1" ;;
    esac
}

# Every second while a download runs, one line with what has arrived, how fast
# (over the last five seconds) and what is left. The size comes from the
# headers curl writes as they arrive: the last response's Content-Range (a
# resumed download) or Content-Length; without either only bytes and speed.
vigilar() {
    local etiqueta=$1 parcial=$2 cabeceras=$3 ahora muestras=()
    while true; do
        ahora=$({ wc -c <"$parcial"; } 2>/dev/null | tr -d ' ')
        muestras=(${muestras[@]+"${muestras[@]}"} "${ahora:-0}")
        # The first sample is what was there before: it counts as arrived,
        # never as speed.
        if [ "${#muestras[@]}" -eq 1 ]; then
            sleep 1
            continue
        fi
        [ "${#muestras[@]}" -le 6 ] || muestras=("${muestras[@]:1}")
        awk -v e="$etiqueta" -v b="${ahora:-0}" -v antes="${muestras[0]}" -v s="$((${#muestras[@]} - 1))" '
            function cifra(x, d,  t) { t = sprintf("%." d "f", x); sub(/\./, ",", t); return t }
            # An error page (a server error while curl retries) has no say.
            /^HTTP\// { largo = 0; total = 0; bien = $2 ~ /^2/ }
            bien && tolower($1) == "content-length:" { largo = $2 + 0 }
            bien && tolower($1) == "content-range:" { n = split($3, r, "/"); total = r[n] + 0 }
            END {
                if (total == 0) total = largo
                m = total > 0 ? total : b
                if (m >= 1e9) { f = 1e9; d = 2; u = "GB" } else if (m >= 1e6) { f = 1e6; d = 1; u = "MB" } else { f = 1e3; d = 0; u = "KB" }
                l = e ": " cifra(b / f, d)
                l = l (total > 0 ? " de " cifra(total / f, d) : "") " " u
                v = s > 0 ? (b - antes) / s : 0
                l = l " · " (v >= 1e6 ? cifra(v / 1e6, 1) " MB/s" : cifra(v / 1e3, 0) " KB/s")
                if (total > 0 && v > 0 && total > b) {
                    q = int((total - b) / v + 0.999)
                    if (q < 60) l = l " · quedan " q " s"
                    else if (q < 3600) l = l " · quedan " int((q + 59) / 60) " min"
                    else l = l " · quedan " int(q / 3600) " h " int((q % 3600 + 59) / 60) " min"
                }
                print l
            }' "$cabeceras" 2>/dev/null
        sleep 1
    done
}

# Fetches the item set by `item` (ITEM_URL, ITEM_SUMA) into DESCARGAS and sets
# ARCHIVO to the verified file. Bytes land in NAME.parcial, which a later run
# resumes, and become NAME only once their sum is right.
descargar() {
    local etiqueta=$1 origen archivo parcial reanuda rc _
    if [ -n "$ESPEJO_URL" ]; then
        origen="$ESPEJO_URL/${ITEM_URL##*/}"
    else
        origen=$ITEM_URL
    fi
    archivo="$DESCARGAS/${ITEM_URL##*/}"
    parcial="$archivo.parcial"
    mkdir -p "$DESCARGAS" || fallar "No se pudo crear la carpeta de descargas en $DATOS."

    if [ -f "$archivo" ]; then
        if [ "$(suma_de "$archivo")" = "$ITEM_SUMA" ]; then
            decir "Se usa lo ya descargado de $etiqueta."
            ARCHIVO=$archivo
            return 0
        fi
        rm -f "$archivo"
        decir "Lo descargado de $etiqueta estaba dañado; se descarga de nuevo."
    fi

    decir "Origen: $(sin_clave "$origen")"
    for _ in 1 2; do
        reanuda=0
        if [ -s "$parcial" ]; then
            reanuda=1
            decir "Se reanuda la descarga de $etiqueta desde $(tamano "$parcial")."
        else
            decir "Descargando $etiqueta…"
        fi
        # Step 5 moves the bar with every line: its downloads stay quiet.
        if [ "$PASO" != 5 ]; then
            : >"$parcial.cabeceras"
            vigilar "$etiqueta" "$parcial" "$parcial.cabeceras" &
            VIGIA=$!
        fi
        # -q first: the user's ~/.curlrc has no say in what is fetched.
        en_marcha "$CURL" -q -fL -sS --proto "$PROTOCOLOS" --proto-redir =https ${CERTIFICADOS[@]+"${CERTIFICADOS[@]}"} \
            --retry 3 --connect-timeout 30 -C - -D "$parcial.cabeceras" -o "$parcial" "$origen"
        rc=$?
        if [ -n "$VIGIA" ]; then
            kill "$VIGIA" 2>/dev/null
            wait "$VIGIA" 2>/dev/null
            VIGIA=""
        fi
        rm -f "$parcial.cabeceras"
        # Checked whatever curl says: a server may refuse to continue a file
        # that is already whole.
        if [ -s "$parcial" ] && [ "$(suma_de "$parcial")" = "$ITEM_SUMA" ]; then
            mv -f "$parcial" "$archivo" || fallar "No se pudo guardar la descarga de $etiqueta."
            decir "Descarga completa de $etiqueta ($(tamano "$archivo"))."
            ARCHIVO=$archivo
            return 0
        fi
        if [ "$rc" -ne 0 ]; then
            # A partial file the server cannot continue (a file shorter than
            # what we hold) is started over once; any other trouble, a server
            # error too, keeps it for the next run. A range the server refuses
            # (416) is no error to curl: the sum below starts it over.
            case $reanuda-$rc in
                1-33 | 1-36)
                    rm -f "$parcial"
                    decir "No se pudo continuar la descarga de $etiqueta; se empieza de nuevo."
                    continue
                    ;;
            esac
            case $rc in 35 | 51 | 58 | 60 | 77) fallar_por_certificado ;; esac
            fallar "No se pudo descargar $etiqueta: $(motivo_curl "$rc")."
        fi
        rm -f "$parcial"
        if [ "$reanuda" -eq 1 ]; then
            decir "Lo descargado de $etiqueta estaba dañado; se descarga de nuevo."
            continue
        fi
        fallar "La descarga de $etiqueta no coincide con su suma SHA-256; se ha descartado."
    done
    fallar "No se pudo descargar $etiqueta."
}

# An engine still running from this installation would go on serving the old
# version after an update (a second engine leaves the first one be), and its
# files are about to change: it is asked to stop. Only this user's process
# started as VARNO starts it (or as older versions did), with this data
# folder's interpreter, is touched.
parar_motor_en_marcha() {
    local pids pid uid orden _ vivo yo
    yo=$(id -u)
    pids=$(ps axww -o pid= -o uid= -o command= 2>/dev/null | while read -r pid uid orden; do
        [ "$uid" = "$yo" ] || continue
        if [ "$orden" = "$PY -I -m motor" ] || [ "$orden" = "$PY -m motor" ]; then printf '%s ' "$pid"; fi
    done)
    [ -n "$pids" ] || return 0
    decir "Se detiene el motor que estaba en marcha."
    for pid in $pids; do
        kill -TERM "$pid" 2>/dev/null
    done
    for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        vivo=0
        for pid in $pids; do
            if kill -0 "$pid" 2>/dev/null; then vivo=1; fi
        done
        [ "$vivo" -eq 1 ] || return 0
        sleep 0.5
    done
    decir "El motor anterior no se detuvo; se sigue de todos modos."
}

# ---------------------------------------------------------------- network

# A URL for the log, without a user name or password; anything else as it is.
sin_clave() {
    local resto=${1#*://} autoridad
    [ "$resto" != "$1" ] || { printf '%s\n' "$1"; return 0; }
    autoridad=${resto%%/*}
    printf '%s%s%s\n' "${1%"$resto"}" "${autoridad##*@}" "${resto#"$autoridad"}"
}

# The user's proxy variables are used as they are. Without any, a proxy set in
# the Mac's System Settings (which curl and pip do not read) is taken from
# `scutil --proxy`: its HTTPS and HTTP proxies, and its exceptions, to which
# the loopback is always added.
elegir_proxy() {
    local variable sistema https http excepciones
    for variable in https_proxy HTTPS_PROXY http_proxy HTTP_PROXY all_proxy ALL_PROXY; do
        if [ -n "${!variable:-}" ]; then
            decir "Se usa el proxy de $variable: $(sin_clave "${!variable}")."
            return 0
        fi
    done
    command -v scutil >/dev/null 2>&1 || return 0
    # Only the top level counts: per-interface settings nest the same keys.
    sistema=$(scutil --proxy 2>/dev/null | awk '
        / \{$/ { if (nivel == 1 && $1 == "ExceptionsList") lista = 1; nivel++; next }
        /^ *\}$/ { nivel--; lista = 0; next }
        nivel == 2 && lista && $3 != "" { sub(/^\*/, "", $3); ex = ex (ex == "" ? "" : ",") $3; next }
        nivel == 1 { v[$1] = $3 }
        function proxy(p) { return v[p "Enable"] == 1 && v[p "Proxy"] != "" ? "http://" v[p "Proxy"] (v[p "Port"] == "" ? "" : ":" v[p "Port"]) : "-" }
        END { print proxy("HTTPS"), proxy("HTTP"), (ex == "" ? "-" : ex) }')
    read -r https http excepciones <<<"$sistema"
    [ "${https:--}" != - ] || [ "${http:--}" != - ] || return 0
    no_proxy="localhost,127.0.0.1,::1"
    [ "$excepciones" = - ] || no_proxy="$no_proxy,$excepciones"
    export no_proxy
    if [ "$https" != - ]; then export https_proxy=$https; fi
    if [ "$http" != - ]; then export http_proxy=$http; fi
    if [ "$https" = "$http" ] || [ "$http" = - ]; then
        decir "Se usa el proxy del sistema $https, salvo para ${no_proxy//,/, }."
    elif [ "$https" = - ]; then
        decir "Se usa el proxy del sistema $http, salvo para ${no_proxy//,/, }."
    else
        decir "Se usa el proxy del sistema $https ($http para http), salvo para ${no_proxy//,/, }."
    fi
}

# ---------------------------------------------------------------- repair

# VARNO_REPARAR names what a run puts right, space-separated: "python",
# "ffmpeg" and "nombre==versión" for a library (or the engine). Only those
# parts are placed again; every other step is skipped as usual.
REPARAR_PYTHON=0
REPARAR_FFMPEG=0
REPARAR_BIBLIOTECAS=()
REPARAR_AJENAS=()   # libraries not in requisitos.txt, such as pip
SIN_REPARAR=""      # what could not be repaired, said at the end
MOTOR_PUESTO=0

# A library's name as pip compares names.
normal() { printf '%s\n' "$1" | awk '{ s = tolower($0); gsub(/[-_.]+/, "-", s); print s }'; }
es_el_motor() { [ "$(normal "$1")" = varno-motor ]; }

# requisitos.txt's lines for the library $1 at version $2, with the
# --hash lines that continue them; fails when it is not listed so.
requisito_de() {
    awk -v quiere="$(normal "$1")" -v version="$2" '
        function normal(s) { s = tolower(s); gsub(/[-_.]+/, "-", s); return s }
        { sub(/\r$/, "") }
        sigue { print; sigue = ($0 ~ /\\$/); next }
        {
            r = $0
            sub(/^[ \t]+/, "", r)
            if (r == "" || r ~ /^[#-]/) next
            n = r
            sub(/[ \t;=<>!~].*$/, "", n)
            sub(/\[.*$/, "", n)
            v = ""
            if (match(r, /==[^ \t;\\]+/)) v = substr(r, RSTART + 2, RLENGTH - 2)
            if (normal(n) == quiere && v == version) { print; sigue = ($0 ~ /\\$/); hallado = 1 }
        }
        END { exit !hallado }' "$REQUISITOS"
}

# Read before anything changes, so that a repair it cannot do leaves the
# installation as it was.
leer_reparaciones() {
    local piezas=() t nombre version
    read -r -a piezas <<<"${VARNO_REPARAR:-}"
    for t in ${piezas[@]+"${piezas[@]}"}; do
        case $t in
            python) REPARAR_PYTHON=1 ;;
            ffmpeg) REPARAR_FFMPEG=1 ;;
            ?*==?*)
                nombre=${t%%==*}
                version=${t#*==}
                # Those the list does not give (pip, which the venv brings)
                # come from the interpreter's own wheels in step 5.
                if es_el_motor "$nombre" || requisito_de "$nombre" "$version" >/dev/null; then
                    REPARAR_BIBLIOTECAS+=("$t")
                else
                    REPARAR_AJENAS+=("$t")
                fi
                ;;
            *) fallar "No se sabe reparar «$t»." ;;
        esac
    done
}

# The files the libraries of the interpreter tree $1 installed outside its
# site-packages $2 (their commands in bin/, say), relative to that tree, as
# their RECORDs list them; none that leads out of it.
fuera_del_sitio() {
    local entrada base resto record
    for record in "$1/$2"/*.dist-info/RECORD; do
        # Only a RECORD that is a file is read: a FIFO or a device would hang.
        if [ -f "$record" ] && [ ! -L "$record" ] && [ ! -L "${record%/RECORD}" ]; then cat "$record"; fi
    done | awk '
        { sub(/\r$/, "") }
        /^"/ {
            s = substr($0, 2); campo = ""
            while ((i = index(s, "\"")) > 0) {
                campo = campo substr(s, 1, i - 1); s = substr(s, i + 1)
                if (substr(s, 1, 1) != "\"") break
                campo = campo "\""; s = substr(s, 2)
            }
            print campo; next
        }
        { sub(/,.*$/, ""); print }' | while IFS= read -r entrada; do
        case $entrada in ../*) ;; *) continue ;; esac
        base=$2
        resto=$entrada
        while [ "${resto#../}" != "$resto" ]; do
            resto=${resto#../}
            case $base in */*) base=${base%/*} ;; '') continue 2 ;; *) base="" ;; esac
        done
        case /$resto/ in */../* | */./* | *//*) continue ;; esac
        printf '%s\n' "${base:+$base/}$resto"
    done
}

# Whether every part of the path $2 below the folder $1 is there and none is
# a link: nothing is moved through a link or as one.
sin_enlaces() {
    local ruta=$1 resto=$2/
    while [ -n "$resto" ]; do
        ruta="$ruta/${resto%%/*}"
        resto=${resto#*/}
        if [ -L "$ruta" ] || [ ! -e "$ruta" ]; then return 1; fi
    done
}

# Whether the path $2 below the folder $1 is free, with every folder on the
# way that is there a real folder, not a link.
libre_sin_enlaces() {
    local ruta=$1 resto=$2
    while [ "${resto#*/}" != "$resto" ]; do
        ruta="$ruta/${resto%%/*}"
        resto=${resto#*/}
        [ ! -L "$ruta" ] || return 1
        [ -e "$ruta" ] || return 0
        [ -d "$ruta" ] || return 1
    done
    [ ! -e "$ruta/$resto" ] && [ ! -L "$ruta/$resto" ]
}

# Puts back into the Python just placed what the libraries had put into the
# one set aside in $1: its site-packages whole first (one rename, so that a
# run cut short knows from the old tree whether it went), then the files they
# installed elsewhere in it that the new one lacks. Only regular files reached
# through real folders move. Fails when it cannot.
devolver_bibliotecas() {
    local anterior=$1 sitios sitio f
    sitios=("$anterior"/lib/python*/site-packages)
    if [ -d "${sitios[0]}" ]; then
        sitio=${sitios[0]#"$anterior"/}
        sin_enlaces "$anterior" "$sitio" && sin_enlaces "$DATOS/python" "${sitio%/*}" || return 1
        rm -rf "${DATOS:?}/python/$sitio" && mv "$anterior/$sitio" "$DATOS/python/$sitio" || return 1
    fi
    sitios=("$DATOS/python"/lib/python*/site-packages)
    sitio=${sitios[0]#"$DATOS/python"/}
    sin_enlaces "$DATOS/python" "$sitio" || return 1
    fuera_del_sitio "$DATOS/python" "$sitio" | while IFS= read -r f; do
        if sin_enlaces "$anterior" "$f" && [ -f "$anterior/$f" ] && libre_sin_enlaces "$DATOS/python" "$f"; then
            mkdir -p "$(dirname "$DATOS/python/$f")" && mv "$anterior/$f" "$DATOS/python/$f" || exit 1
        fi
    done
}

# Each library named for repair installed again at its version from the same
# source, with its hashes, leaving its dependencies be.
reparar_bibliotecas() {
    local t nombre version lista rueda origenes=()
    if [ -n "$RUEDAS" ]; then origenes=(--no-index --find-links "$RUEDAS"); fi
    for t in ${REPARAR_BIBLIOTECAS[@]+"${REPARAR_BIBLIOTECAS[@]}"}; do
        nombre=${t%%==*}
        version=${t#*==}
        decir "Se repara $nombre $version."
        if es_el_motor "$nombre"; then
            [ "$MOTOR_PUESTO" = 0 ] || continue
            instalar_con_gestor "No se pudo reparar el motor" --no-index --no-deps --de-nuevo "$MOTOR_RUEDA"
            MOTOR_PUESTO=1
            continue
        fi
        nuevo_temporal
        lista="$TEMPORAL/requisito.txt"
        requisito_de "$nombre" "$version" >"$lista" || fallar "No se pudo leer la lista de bibliotecas."
        instalar_con_gestor "No se pudo reparar $nombre $version" ${origenes[@]+"${origenes[@]}"} \
            --de-nuevo --no-deps --require-hashes -r "$lista"
    done
    # One that cannot be repaired leaves the rest to be repaired all the same.
    for t in ${REPARAR_AJENAS[@]+"${REPARAR_AJENAS[@]}"}; do
        nombre=${t%%==*}
        version=${t#*==}
        if rueda=$(rueda_de_python "$nombre" "$version"); then
            decir "Se repara $nombre $version con la rueda que trae Python."
            instalar_con_gestor "No se pudo reparar $nombre $version" --no-index --no-deps --de-nuevo "$rueda"
        else
            SIN_REPARAR="No se puede reparar $nombre $version: no está en la lista de bibliotecas ni entre las que trae Python."
            decir "$SIN_REPARAR"
        fi
    done
}

# The wheel of the library $1 (at version $2, or any) that the installed
# interpreter carries to make its own environments, as ensurepip finds it.
rueda_de_python() {
    "$PY" -I - "$(normal "$1")" "${2:-}" <<'EOF'
import ensurepip, os, re, sys, sysconfig
nombre, version = sys.argv[1:]
carpeta = os.path.dirname(ensurepip.__file__)
for donde in (os.path.join(carpeta, "_bundled"), carpeta, sysconfig.get_config_var("WHEEL_PKG_DIR") or ""):
    try:
        ruedas = sorted(os.listdir(donde))
    except OSError:
        continue
    for rueda in ruedas:
        partes = rueda[:-4].split("-") if rueda.endswith(".whl") else []
        if (len(partes) >= 5 and re.sub(r"[-_.]+", "-", partes[0]).lower() == nombre
                and version in ("", partes[1])):
            print(os.path.join(donde, rueda))
            sys.exit(0)
sys.exit(1)
EOF
}

# A library cut short (a kill, a power cut, a full disk) is left with part of
# its files and its wheel's own RECORD, which does not list the INSTALLER that
# pip and uv write just before their RECORD. Its .dist-info goes, so that the
# manager installs it whole instead of finding it satisfied; so do the
# temporary files pip leaves beside a RECORD it could not finish. A_MEDIAS
# gets "nombre==versión" of each.
quitar_a_medias() {
    local sitio d nombre
    A_MEDIAS=()
    sitio=$(sitio_de "$DATOS/python")
    sin_enlaces "$DATOS/python" "$sitio" || return 0
    sitio="$DATOS/python/$sitio"
    find "$sitio" -mindepth 2 -maxdepth 2 -type f -path '*.dist-info/*' \( -name 'RECORD?*.tmp' -o \
        -name 'INSTALLER?*.tmp' -o -name 'REQUESTED?*.tmp' -o -name 'direct_url.json?*.tmp' \) -exec rm -f {} +
    for d in "$sitio"/*.dist-info; do
        if [ -L "$d" ] || [ ! -d "$d" ]; then continue; fi
        nombre=${d##*/}
        nombre=${nombre%.dist-info}
        if [ -f "$d/RECORD" ] && [ ! -L "$d/RECORD" ] && awk -v fila="$nombre.dist-info/INSTALLER" '
            index($0, fila ",") == 1 || index($0, "\"" fila "\",") == 1 { hallada = 1; exit }
            END { exit !hallada }' "$d/RECORD"; then
            continue
        fi
        rm -rf "$d" || fallar "No se pudo quitar lo que quedó a medias de ${nombre%-*} en $DATOS."
        A_MEDIAS+=("${nombre%-*}==${nombre##*-}")
    done
}

# ---------------------------------------------------------------- steps

preparar() {
    paso 1 "Preparando"

    [ -n "${VARNO_VERSION+x}" ] || fallar "Falta VARNO_VERSION: este instalador lo abre VARNO."
    VERSION=$VARNO_VERSION
    [ -n "${HOME:-}" ] || fallar "No se sabe cuál es la carpeta personal (HOME está vacío)."
    ORIGEN=${VARNO_ORIGEN:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
    MANIFIESTO="$ORIGEN/manifiesto.txt"
    REQUISITOS="$ORIGEN/requisitos.txt"
    [ -r "$MANIFIESTO" ] || fallar "Falta la lista de descargas (manifiesto.txt) en el paquete."
    [ -r "$REQUISITOS" ] || fallar "Falta la lista de bibliotecas (requisitos.txt) en el paquete."
    leer_reparaciones

    case $(uname -s) in
        Darwin) SISTEMA=macos ;;
        Linux) SISTEMA=linux ;;
        *) fallar "Este sistema ($(uname -s)) no está soportado." ;;
    esac
    ARQ=$(uname -m)
    if [ "$SISTEMA" = macos ]; then
        # Run through Rosetta, an Apple silicon Mac still wants its own builds.
        if [ "$(sysctl -in sysctl.proc_translated 2>/dev/null)" = 1 ]; then
            ARQ=arm64
        fi
        case $ARQ in arm64 | x86_64) ;; *) fallar "Este Mac ($ARQ) no está soportado." ;; esac
    fi
    PLATAFORMA="$SISTEMA-$ARQ"
    decir "Sistema: $PLATAFORMA"

    CURL=$(command -v curl) || fallar "Falta curl, que hace falta para descargar."
    command -v tar >/dev/null 2>&1 || fallar "Falta tar, que hace falta para descomprimir."
    if command -v sha256sum >/dev/null 2>&1; then
        SUMADOR=(sha256sum)
    elif command -v shasum >/dev/null 2>&1; then
        SUMADOR=(shasum -a 256)
    else
        fallar "Falta shasum, que hace falta para comprobar las descargas."
    fi

    # Whatever could point Python, pip or uv somewhere else stays out.
    local variable
    for variable in $(compgen -e); do
        case $variable in
            PYTHON* | PIP_* | UV_* | VIRTUAL_ENV | CONDA_PREFIX | CONDA_DEFAULT_ENV | __PYVENV_LAUNCHER__) unset "$variable" ;;
        esac
    done

    elegir_proxy
    # A company's own certificate, for a proxy that inspects secure connections.
    CERTIFICADOS=()
    if [ -n "${SSL_CERT_FILE:-}" ]; then CERTIFICADOS=(--cacert "$SSL_CERT_FILE"); fi

    ESPEJO_URL=""
    RUEDAS=""
    PROTOCOLOS="=https,file"
    if [ -n "${VARNO_ESPEJO:-}" ]; then
        case $VARNO_ESPEJO in
            file://* | https://* | http://*)
                ESPEJO_URL=${VARNO_ESPEJO%/}
                RUEDAS="$ESPEJO_URL/ruedas"
                case $VARNO_ESPEJO in http://*) PROTOCOLOS="=http,https,file" ;; esac
                ;;
            *)
                [ -d "$VARNO_ESPEJO" ] || fallar "No se encuentra el espejo local $VARNO_ESPEJO."
                RUEDAS=$(cd "$VARNO_ESPEJO" && pwd) || fallar "No se puede leer el espejo local $VARNO_ESPEJO."
                ESPEJO_URL=$(url_de_archivo "$RUEDAS")
                RUEDAS="$RUEDAS/ruedas"
                ;;
        esac
        decir "Todo se toma del espejo $(sin_clave "$VARNO_ESPEJO")."
    fi

    DATOS="$HOME/Library/Application Support/VARNO"
    PASOS="$DATOS/.pasos"
    DESCARGAS="$DATOS/descargas"
    PY="$DATOS/python/bin/python"
    FFMPEG="$DATOS/bin/ffmpeg"
    mkdir -p "$PASOS" || fallar "No se pudo crear la carpeta $DATOS."
    decir "Carpeta de datos: $DATOS"
    tomar_cerrojo
    vigilar_a_varno >/dev/null 2>&1 </dev/null &
    GUARDIAN=$!

    # From here on the installation is changing: until this run writes the
    # marker again, nothing may claim that a version is installed.
    if [ -f "$DATOS/instalado.txt" ]; then
        decir "Había instalada la versión $(head -n 1 "$DATOS/instalado.txt"); se pone al día."
        rm -f "$DATOS/instalado.txt" || fallar "No se pudo quitar la marca de la versión anterior."
    fi
    parar_motor_en_marcha
    # Leftovers of a run that was stopped halfway.
    rm -rf "$DATOS"/.tmp.* "$DATOS/app.viejo"
    # What pip, uv and Python's venv leave in the temporary folder when they
    # are killed goes with the rest of this run's leftovers.
    nuevo_temporal
    export TMPDIR="$TEMPORAL"

    local libres
    libres=$(df -Pk "$DATOS" 2>/dev/null | awk 'NR == 2 { print $4 }')
    case $libres in
        '' | *[!0-9]*) ;;
        *)
            if [ "$libres" -lt 5242880 ]; then
                decir "Aviso: solo quedan $(awk -v k="$libres" 'BEGIN { printf "%.1f", k / 1048576 }' | tr . ,) GB libres y la instalación ocupa unos 5 GB; se sigue de todos modos."
            fi
            ;;
    esac
}

instalar_python() {
    paso 2 "Python"
    local clave
    if [ "$SISTEMA" = macos ]; then
        item python || fallar "El manifiesto no dice de dónde descargar Python para este Mac."
        clave=$ITEM_SUMA
    else
        if [ -x /usr/bin/python3 ]; then
            SISTEMA_PY=/usr/bin/python3
        else
            SISTEMA_PY=$(command -v python3) || fallar "Falta python3 en el sistema."
        fi
        SISTEMA_PY_VERSION=$("$SISTEMA_PY" -I -c 'import sys; print("%d.%d.%d" % sys.version_info[:3])') ||
            fallar "El python3 del sistema no arranca."
        clave="venv $SISTEMA_PY $SISTEMA_PY_VERSION"
    fi
    PYTHON_CLAVE=$clave

    recuperar_python "$clave"
    if [ "$REPARAR_PYTHON" = 1 ]; then
        decir "Se repara Python."
    elif hecho python "$clave" && [ -x "$PY" ] && "$PY" -I -c '' 2>/dev/null; then
        decir "Python ya estaba instalado."
        return 0
    fi
    # The libraries live inside this Python: the same one placed again keeps
    # them, while a new one needs them again.
    if hecho python "$clave" && [ ! -L "$DATOS/python" ] && sin_enlaces "$DATOS/python" "$(sitio_de "$DATOS/python")"; then
        reponer_python
        return 0
    fi
    olvidar python
    olvidar bibliotecas
    if [ "$SISTEMA" = macos ]; then
        descargar "Python"
        desempaquetar_python
        rm -rf "$DATOS/python"
        mv "$TEMPORAL/python" "$DATOS/python" || fallar "No se pudo colocar Python en $DATOS."
        rm -f "$ARCHIVO"
    else
        rm -rf "$DATOS/python"
        crear_entorno "$DATOS/python"
    fi
    "$PY" -I -c '' || fallar "El Python instalado no arranca."
    marcar python "$clave"
}

# site-packages of the interpreter tree $1, relative to it.
sitio_de() {
    local sitios=("$1"/lib/python*/site-packages)
    printf '%s\n' "${sitios[0]#"$1"/}"
}

# Unpacks the downloaded Python into python/ of a new temporary folder.
desempaquetar_python() {
    nuevo_temporal
    decir "Descomprimiendo Python…"
    tar -xf "$ARCHIVO" -C "$TEMPORAL" || fallar "No se pudo descomprimir Python."
    [ -x "$TEMPORAL/python/bin/python3" ] || fallar "El paquete de Python no trae python/bin/python3."
    [ -e "$TEMPORAL/python/bin/python" ] || ln -s python3 "$TEMPORAL/python/bin/python" ||
        fallar "No se pudo preparar python/bin/python."
}

# A virtual environment of the system's Python in $1, with the options after.
crear_entorno() {
    local salida
    decir "Creando el entorno de Python a partir de $SISTEMA_PY ($SISTEMA_PY_VERSION)…"
    salida=$(mktemp "$DATOS/.tmp.XXXXXX") || fallar "No se pudo crear un archivo temporal en $DATOS."
    TEMPORALES+=("$salida")
    en_marcha con_copia "$salida" "$SISTEMA_PY" -I -m venv "$@" && return 0
    # A full disk, which venv reports as a failure of ensurepip, is what the
    # user can put right.
    lleno "$salida" && fallar "No se pudo crear el entorno de Python: el disco está lleno."
    fallar "No se pudo crear el entorno de Python (¿falta el paquete python3-venv?)."
}

# The same Python placed again, its libraries kept: the new one is made whole
# before the damaged one is set aside, so a repair that fails leaves both as
# they were, and one cut short later is put back or finished.
reponer_python() {
    if [ "$SISTEMA" = macos ]; then
        descargar "Python"
        desempaquetar_python
    else
        # Without pip: the libraries' own come back with them.
        nuevo_temporal
        crear_entorno "$TEMPORAL/python" --without-pip
    fi
    "$TEMPORAL/python/bin/python" -I -c '' || fallar "El Python instalado no arranca."
    mv "$DATOS/python" "$DATOS/python.anterior" || fallar "No se pudo apartar el Python dañado."
    if ! mv "$TEMPORAL/python" "$DATOS/python"; then
        mv "$DATOS/python.anterior" "$DATOS/python"
        fallar "No se pudo colocar Python en $DATOS."
    fi
    [ "$SISTEMA" != macos ] || rm -f "$ARCHIVO"
    terminar_python
}

# Moves the libraries from python.anterior into the Python placed, then
# removes what is left of the old one.
terminar_python() {
    # A venv names its folder in a few files: made elsewhere, it is told again.
    if [ "$SISTEMA" != macos ]; then
        crear_entorno "$DATOS/python" --without-pip
    fi
    if devolver_bibliotecas "$DATOS/python.anterior"; then
        decir "Se conservan las bibliotecas instaladas."
    else
        decir "Las bibliotecas se instalan de nuevo."
        olvidar bibliotecas
    fi
    rm -rf "$DATOS/python.anterior"
    marcar python "$PYTHON_CLAVE"
}

# A repair of Python cut short leaves the old tree in python.anterior, with
# the libraries. It goes back when no working Python took its place, and the
# repair is finished when one did, so the libraries are never installed again.
recuperar_python() {
    local anterior="$DATOS/python.anterior"
    if [ -L "$anterior" ] || { [ -e "$anterior" ] && [ ! -d "$anterior" ]; }; then
        rm -f "$anterior"
    fi
    [ -d "$anterior" ] || return 0
    if [ -d "$DATOS/python" ] && [ ! -L "$DATOS/python" ] && "$PY" -I -c '' 2>/dev/null; then
        decir "Se termina una reparación de Python que quedó a medias."
        terminar_python
        return 0
    fi
    decir "Se devuelve a su sitio el Python que una reparación cortada había apartado."
    rm -rf "${DATOS:?}/python"
    mv "$anterior" "$DATOS/python" || fallar "No se pudo devolver a su sitio el Python apartado."
    # An older installer forgot Python's step as it set it aside; the
    # libraries' step, made with this same Python, still tells it.
    case $(cat "$PASOS/bibliotecas" 2>/dev/null) in *" $1") hecho python "$1" || marcar python "$1" ;; esac
}

instalar_ffmpeg() {
    paso 3 "ffmpeg"
    local sistema version
    if [ "$REPARAR_FFMPEG" = 1 ]; then
        decir "Se repara ffmpeg."
        olvidar ffmpeg
    fi
    mkdir -p "$DATOS/bin" || fallar "No se pudo crear la carpeta $DATOS/bin."
    # Linux uses the system's ffmpeg unless the manifest names one for it.
    if [ "$SISTEMA" = linux ] && ! item ffmpeg; then
        olvidar ffmpeg
        rm -f "$FFMPEG"
        sistema=$(command -v ffmpeg 2>/dev/null)
        if [ -n "$sistema" ]; then
            ln -s "$sistema" "$FFMPEG" || fallar "No se pudo enlazar el ffmpeg del sistema."
            decir "Se usa el ffmpeg del sistema ($sistema)."
        else
            decir "ffmpeg no está instalado en el sistema; se sigue sin él."
        fi
        return 0
    fi

    item ffmpeg || fallar "El manifiesto no dice de dónde descargar ffmpeg para este Mac."
    if hecho ffmpeg "$ITEM_SUMA" && [ -x "$FFMPEG" ]; then
        decir "ffmpeg ya estaba instalado."
        return 0
    fi
    olvidar ffmpeg
    descargar "ffmpeg"
    { cp "$ARCHIVO" "$FFMPEG.nuevo" && chmod 755 "$FFMPEG.nuevo" && mv -f "$FFMPEG.nuevo" "$FFMPEG"; } ||
        fallar "No se pudo colocar ffmpeg en $DATOS/bin."
    # On Apple silicon an executable without a valid signature is killed as
    # it starts; signed ad hoc on this Mac, it runs.
    if ! version=$("$FFMPEG" -version 2>&1); then
        command -v codesign >/dev/null 2>&1 || fallar "El ffmpeg descargado no arranca en este Mac."
        herramientas_de_firma ||
            fallar "ffmpeg necesita firmarse en este Mac y faltan las herramientas de línea de comandos de Apple: instálalas con «xcode-select --install» y vuelve a intentarlo."
        decir "ffmpeg no arranca sin firma; se firma en este Mac."
        CODESIGN_ALLOCATE=$FIRMA_ALLOCATE codesign -f -s - "$FFMPEG" >/dev/null 2>&1 ||
            fallar "No se pudo firmar ffmpeg en este Mac."
        version=$("$FFMPEG" -version 2>&1) || fallar "El ffmpeg descargado no arranca en este Mac."
    fi
    decir "${version%%"$SALTO"*}"
    rm -f "$ARCHIVO"
    marcar ffmpeg "$ITEM_SUMA"
}

# codesign needs codesign_allocate, which comes only with Apple's developer
# tools; where they are missing, running it makes macOS offer to install them
# in a dialog. xcode-select -p names their folder, or fails, without asking.
herramientas_de_firma() {
    local carpeta h
    carpeta=$(xcode-select -p 2>/dev/null) || return 1
    for h in "$carpeta/usr/bin/codesign_allocate" \
        "$carpeta/Toolchains/XcodeDefault.xctoolchain/usr/bin/codesign_allocate"; do
        if [ -x "$h" ]; then
            FIRMA_ALLOCATE=$h
            return 0
        fi
    done
    return 1
}

elegir_gestor() {
    paso 4 "El gestor de paquetes"
    local candidato
    UV=""
    for candidato in "$(command -v uv 2>/dev/null)" "$HOME/.local/bin/uv" "$HOME/.cargo/bin/uv" \
        /opt/homebrew/bin/uv /usr/local/bin/uv; do
        if [ -n "$candidato" ] && [ -x "$candidato" ]; then
            UV=$candidato
            decir "Las bibliotecas se instalan con uv ($UV)."
            return 0
        fi
    done
    usar_pip
    decir "Las bibliotecas se instalan con $PIP_NOMBRE."
}

# pip from the installed Python, added to it when it has none; PIP_NOMBRE
# says which.
usar_pip() {
    local version rueda
    UV=""
    PIP=("$PY" -u -I -m pip)
    if ! version=$("${PIP[@]}" --version 2>/dev/null); then
        decir "El Python instalado no trae pip; se añade."
        en_marcha "$PY" -I -m ensurepip --default-pip || fallar "No se pudo añadir pip al Python instalado."
        if ! version=$("${PIP[@]}" --version 2>/dev/null); then
            # A damaged pip, which ensurepip leaves as it is: the pip in the
            # interpreter's own wheel does the work, repairing it too.
            rueda=$(rueda_de_python pip) || fallar "pip no arranca en el Python instalado."
            PIP=("$PY" -u -I "$rueda/pip")
            version=$("${PIP[@]}" --version 2>/dev/null) || fallar "pip no arranca en el Python instalado."
        fi
    fi
    PIP_NOMBRE=${version%% from *}
}

# The arguments in ARGUMENTOS, with --de-nuevo ("install it again, whatever
# version is there") said as the manager in use says it.
para_el_gestor() {
    local a
    ARGUMENTOS=()
    for a in "$@"; do
        case $a-$UV in
            --de-nuevo-) ARGUMENTOS+=(--force-reinstall) ;;
            --de-nuevo-*) ARGUMENTOS+=(--reinstall) ;;
            *) ARGUMENTOS+=("$a") ;;
        esac
    done
}

# pip, or uv where present, installing into the installed Python; $1 is the
# sentence that tells it failed.
instalar_con_gestor() {
    local que=$1 rc salida
    shift
    nuevo_temporal
    salida="$TEMPORAL/salida"
    # A slow link may stall for a while: long waits and a few retries keep a
    # stall from throwing away a long step.
    if [ -n "$UV" ]; then
        para_el_gestor "$@"
        # uv leaves the compiling to compilar_bibliotecas unless asked.
        latir "Instalando las bibliotecas"
        en_marcha con_copia "$salida" env UV_HTTP_TIMEOUT=120 UV_HTTP_RETRIES=5 \
            "$UV" pip install --no-config --no-progress --python "$PY" --break-system-packages "${ARGUMENTOS[@]}"
        rc=$?
        dejar_de_latir
        # An older uv refuses options it does not know before it does
        # anything: pip does the work instead, this time and from now on.
        if [ "$rc" -eq 2 ] && grep -qE "unexpected argument|wasn't expected|unrecognized" "$salida"; then
            usar_pip
            decir "Este uv es antiguo y no entiende las opciones que hacen falta; se usa $PIP_NOMBRE."
        fi
    fi
    if [ -z "$UV" ]; then
        para_el_gestor "$@"
        local extra=()
        case $RUEDAS in http://*) extra+=(--trusted-host "$(sin_clave "$RUEDAS" | cut -d/ -f3)") ;; esac
        if [ -n "${SSL_CERT_FILE:-}" ]; then extra+=(--cert "$SSL_CERT_FILE"); fi
        # Compiled afterwards, in parallel (compilar_bibliotecas), instead of one file at a time.
        latir "Instalando las bibliotecas"
        en_marcha con_copia "$salida" "${PIP[@]}" --isolated install --disable-pip-version-check --no-input \
            --progress-bar off --no-warn-script-location --break-system-packages --prefer-binary --no-compile \
            --timeout 120 --retries 5 ${extra[@]+"${extra[@]}"} "${ARGUMENTOS[@]}"
        rc=$?
        dejar_de_latir
    fi
    if [ "$rc" -ne 0 ] && grep -qi -e CERTIFICATE_VERIFY_FAILED -e 'invalid peer certificate' "$salida"; then
        fallar_por_certificado
    fi
    [ "$rc" -eq 0 ] || fallar "$que (el instalador terminó con el código $rc)."
}

# A line each second while a long command is silent, so that the window
# keeps moving and says what is being done.
latir() {
    local texto=$1 n=0
    while sleep 1 && kill -0 "$$" 2>/dev/null; do
        n=$((n + 1))
        decir "$texto ($n s)…"
    done &
    VIGIA=$!
}
dejar_de_latir() {
    [ -n "$VIGIA" ] || return 0
    kill "$VIGIA" 2>/dev/null
    wait "$VIGIA" 2>/dev/null
    VIGIA=""
}

# Every module in site-packages compiled to bytecode, one process per core,
# so that the engine's first start does not compile them one by one. Those
# already compiled from their source as it is are left be; stamps of the
# source's time and size make a compiled file that no longer matches its
# source be ignored and made again. Files a killed run left half written go.
compilar_bibliotecas() {
    local sitio
    sitio=$(sitio_de "$DATOS/python")
    sin_enlaces "$DATOS/python" "$sitio" || return 0
    decir "Compilando las bibliotecas…"
    en_marcha "$PY" -I -u -c '
import compileall, functools, multiprocessing, os, py_compile, re, sys, threading, time
sitio, hechos, modulos = sys.argv[1], [0], []
def avisar():
    while True:
        time.sleep(1)
        print("Compilando las bibliotecas: %d de %d módulos…" % (hechos[0], len(modulos)), flush=True)
threading.Thread(target=avisar, daemon=True).start()
a_medias = re.compile(r"\.pyc\.\d+$")
for carpeta, carpetas, archivos in os.walk(sitio):
    carpetas.sort()
    for a in sorted(archivos):
        if a.endswith(".py"):
            modulos.append(os.path.join(carpeta, a))
        elif a_medias.search(a) and os.path.basename(carpeta) == "__pycache__":
            os.remove(os.path.join(carpeta, a))
# A module that does not compile is left to Python, as pip does.
compilar = functools.partial(compileall.compile_file, quiet=2,
                             invalidation_mode=py_compile.PycInvalidationMode.TIMESTAMP)
with multiprocessing.Pool(os.cpu_count() or 1) as hilos:
    for _ in hilos.imap_unordered(compilar, modulos, chunksize=32):
        hechos[0] += 1
' "$DATOS/python/$sitio" || fallar "No se pudieron compilar las bibliotecas."
}

instalar_bibliotecas() {
    paso 5 "Las bibliotecas (puede tardar varios minutos)"
    local ruedas=("$ORIGEN"/ruedas/varno_motor-*.whl)
    if [ "${#ruedas[@]}" -ne 1 ] || [ ! -f "${ruedas[0]}" ]; then
        fallar "Falta el motor en el paquete (ruedas/)."
    fi
    MOTOR_RUEDA=${ruedas[0]}
    local clave t
    clave="$(suma_de "$REQUISITOS") $(suma_de "$MOTOR_RUEDA") $PYTHON_CLAVE"
    quitar_a_medias
    for t in ${A_MEDIAS[@]+"${A_MEDIAS[@]}"}; do
        decir "La biblioteca ${t%%==*} ${t#*==} quedó a medias; se instala entera."
        # One the list or the engine gives is installed again as a repair
        # would, unless this step runs whole anyway; any other from the
        # interpreter's wheels.
        if ! es_el_motor "${t%%==*}" && ! requisito_de "${t%%==*}" "${t#*==}" >/dev/null; then
            REPARAR_AJENAS+=("$t")
        elif hecho bibliotecas "$clave"; then
            REPARAR_BIBLIOTECAS+=("$t")
        fi
    done
    if hecho bibliotecas "$clave"; then
        if [ -z "${REPARAR_BIBLIOTECAS[*]+x}" ] && [ -z "${REPARAR_AJENAS[*]+x}" ]; then
            decir "Las bibliotecas ya estaban instaladas."
            return 0
        fi
        reparar_bibliotecas
        compilar_bibliotecas
        return 0
    fi
    olvidar bibliotecas

    # With a mirror nothing may come from anywhere else; and whatever the
    # source, a library is installed only when its file has the SHA-256 that
    # requisitos.txt gives it, so a mirror (plain http included) or a network
    # path cannot change what runs.
    local origenes=()
    if [ -n "$RUEDAS" ]; then
        origenes=(--no-index --find-links "$RUEDAS")
    fi
    if grep -qv -e '^[[:space:]]*$' -e '^[[:space:]]*#' "$REQUISITOS"; then
        instalar_con_gestor "No se pudieron instalar las bibliotecas" ${origenes[@]+"${origenes[@]}"} \
            --require-hashes -r "$REQUISITOS"
    fi
    # The engine's own wheel replaces whatever engine is there, even one that
    # claims the same version; its libraries are the ones above.
    decir "Instalando el motor (${MOTOR_RUEDA##*/})…"
    instalar_con_gestor "No se pudo instalar el motor" --no-index --no-deps --de-nuevo "$MOTOR_RUEDA"
    MOTOR_PUESTO=1
    # A library already there at its version is left as it is: one to repair
    # is installed again over it.
    reparar_bibliotecas
    compilar_bibliotecas
    marcar bibliotecas "$clave"
}

instalar_aplicacion() {
    paso 6 "La aplicación"
    # The engine is installed inside Python; DATOS/app is only the folder it
    # works in. An engine copied there by an older version would be imported
    # before the installed one by an engine started without -I, as older
    # versions of VARNO start it, so it goes.
    mkdir -p "$DATOS/app" || fallar "No se pudo crear la carpeta $DATOS/app."
    rm -rf "$DATOS/app/motor" "$DATOS/app/interfaz" "$PASOS/aplicacion" ||
        fallar "No se pudo quitar el motor anterior de $DATOS/app."
    decir "El motor trabaja en $DATOS/app."
}

comprobar() {
    paso 7 "Comprobación final"
    local linea
    linea=$("$PY" -I -c 'import sys; print("Python %d.%d.%d" % sys.version_info[:3])' 2>&1) ||
        fallar "El Python instalado no arranca."
    decir "$linea"
    # Exactly as VARNO starts it: the same command from the same folder, with
    # the same environment (step 1 removed what points Python elsewhere). The
    # engine imports all it serves with and checks that it is its own.
    (cd "$DATOS/app" && export VARNO_APP="${ORIGEN%/Contents/Resources/paquete}" &&
        "$PY" -I -m motor --comprobar) ||
        fallar "El motor no se puede cargar con el Python instalado."
    # Against a power cut: what the steps wrote reaches the disk first, then
    # the manifest, then the marker, each written whole under another name and
    # renamed into place. However a cut falls, the marker names only what is
    # on the disk, and the manifest only files that are there.
    sync
    # What the interpreter and ffmpeg are made of, so that VARNO can later
    # tell which of their files changed; the libraries have their own RECORD,
    # which is listed too, so that VARNO knows which must be there.
    "$PY" -I - "$DATOS" <<'EOF' || fallar "No se pudo escribir entorno.RECORD en $DATOS."
import base64, csv, hashlib, os, sys

datos = sys.argv[1]
filas = []

def anotar(ruta):
    if os.path.islink(ruta):
        filas.append((os.path.relpath(ruta, datos), "enlace=" + os.readlink(ruta), ""))
        return
    if not os.path.isfile(ruta):
        return
    suma = hashlib.sha256()
    with open(ruta, "rb") as f:
        for bloque in iter(lambda: f.read(1 << 20), b""):
            suma.update(bloque)
    digest = base64.urlsafe_b64encode(suma.digest()).rstrip(b"=").decode()
    filas.append((os.path.relpath(ruta, datos), "sha256=" + digest, os.path.getsize(ruta)))

for carpeta, carpetas, archivos in os.walk(os.path.join(datos, "python")):
    enlaces = [c for c in carpetas if os.path.islink(os.path.join(carpeta, c))]
    if "site-packages" in carpetas and "site-packages" not in enlaces:
        sitio = os.path.join(carpeta, "site-packages")
        for nombre in sorted(os.listdir(sitio)):
            info = os.path.join(sitio, nombre)
            if nombre.endswith(".dist-info") and os.path.isdir(info) and not os.path.islink(info):
                anotar(os.path.join(info, "RECORD"))
    carpetas[:] = sorted(c for c in carpetas if c not in enlaces and c not in ("__pycache__", "site-packages"))
    for nombre in sorted(enlaces + [a for a in archivos if not a.endswith(".pyc")]):
        anotar(os.path.join(carpeta, nombre))
if os.path.lexists(os.path.join(datos, "bin", "ffmpeg")):
    anotar(os.path.join(datos, "bin", "ffmpeg"))
with open(os.path.join(datos, "entorno.RECORD.parcial"), "w", encoding="utf-8", newline="") as f:
    csv.writer(f, lineterminator="\n").writerows(filas)
EOF
    asentar "$DATOS/entorno.RECORD" || fallar "No se pudo escribir entorno.RECORD en $DATOS."
    rmdir "$DESCARGAS" 2>/dev/null
    # The very last act: only now does VARNO count the installation as done.
    { printf '%s\n' "$VERSION" >"$DATOS/instalado.txt.parcial" && asentar "$DATOS/instalado.txt"; } ||
        fallar "No se pudo escribir instalado.txt en $DATOS."
    # What is there works; what could not be repaired is the last word.
    [ -z "$SIN_REPARAR" ] || fallar "$SIN_REPARAR"
    decir "Todo listo."
}

# Renames $1.parcial to $1 once its bytes are on the disk, then makes the
# rename last too. A Mac's fsync leaves data in the drive's cache:
# F_FULLFSYNC empties that cache, the sync of the steps' files included.
asentar() {
    "$PY" -I - "$1" <<'EOF'
import fcntl, os, sys

def firme(fd):
    try:
        fcntl.fcntl(fd, fcntl.F_FULLFSYNC)
    except (AttributeError, OSError):
        os.fsync(fd)

ruta = sys.argv[1]
fd = os.open(ruta + ".parcial", os.O_RDWR)
try:
    firme(fd)
finally:
    os.close(fd)
os.replace(ruta + ".parcial", ruta)
fd = os.open(os.path.dirname(ruta), os.O_RDONLY)
try:
    firme(fd)
except OSError:
    pass  # a folder some systems cannot flush on its own
finally:
    os.close(fd)
EOF
}

preparar
instalar_python
instalar_ffmpeg
elegir_gestor
instalar_bibliotecas
instalar_aplicacion
comprobar
exit 0
