#!/bin/bash
# A test installer doing what each word of GUION asks, in turn: out:TEXT and
# err:TEXT print TEXT (_ for spaces) and a line feed on stdout or stderr,
# raw:FORMAT prints with printf, nap:SEC sleeps, env prints the VARNO variables
# and PATH, kid starts a sleeping child and records its pid in $HUELLA, exit:N exits.
for accion in $GUION; do
    case "$accion" in
        out:*) printf '%s\n' "${accion#out:}" | tr '_' ' ' ;;
        err:*) printf '%s\n' "${accion#err:}" | tr '_' ' ' >&2 ;;
        raw:*) printf "${accion#raw:}" ;;
        nap:*) sleep "${accion#nap:}" ;;
        env) printf 'origen=%s\nversion=%s\npath=%s\n' "$VARNO_ORIGEN" "$VARNO_VERSION" "$PATH" ;;
        kid) sleep 60 & echo $! > "$HUELLA" ;;
        exit:*) exit "${accion#exit:}" ;;
    esac
done
