#!/bin/bash
# A test installer: does what the variable GUION asks, step by step.
# Each word of GUION is one action:
#   out:TEXT   prints TEXT and a line feed on stdout    err:TEXT  the same on stderr
#   raw:OCTAL  prints the bytes of a printf format      nap:SEC   sleeps
#   env        prints the three VARNO variables and PATH
#   kid        starts a child that sleeps and records its pid in $HUELLA
#   exit:N     exits with N
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
