#!/bin/bash
# A test installer doing what each word of GUION asks, in turn: out:TEXT prints
# TEXT (_ for spaces) and a line feed, nap:SEC sleeps, kid starts a sleeping
# child and records its pid in $HUELLA, exit:N exits.
for accion in $GUION; do
    case "$accion" in
        out:*) printf '%s\n' "${accion#out:}" | tr '_' ' ' ;;
        nap:*) sleep "${accion#nap:}" ;;
        kid) sleep 60 & echo $! > "$HUELLA" ;;
        exit:*) exit "${accion#exit:}" ;;
    esac
done
