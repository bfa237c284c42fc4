#!/usr/bin/env bash
# Notarizes the signed disk image and staples the ticket to it, so that
# Gatekeeper opens it even on a Mac without a connection. PERFIL is a keychain
# profile holding the Apple account's credentials, stored once with
# `xcrun notarytool store-credentials PERFIL`.
#
# Use: bash scripts/notarizar.sh build/VARNO-<versión>-Darwin.dmg PERFIL
set -uo pipefail

fallar() {
    printf '%s\n' "$1" >&2
    exit 1
}

[ $# -eq 2 ] || fallar "Uso: bash scripts/notarizar.sh IMAGEN.dmg PERFIL"
dmg=$1
perfil=$2
[ -f "$dmg" ] || fallar "No existe la imagen $dmg."

echo "Enviando $dmg a notarizar (puede tardar varios minutos)…"
salida=$(xcrun notarytool submit "$dmg" --keychain-profile "$perfil" --wait 2>&1)
rc=$?
printf '%s\n' "$salida"
[ "$rc" -eq 0 ] || fallar "No se pudo enviar la imagen a notarizar (notarytool terminó con el código $rc)."
# notarytool may end well with a submission that Apple refused.
case $salida in
    *"status: Accepted"*) ;;
    *)
        envio=$(printf '%s\n' "$salida" | awk '$1 == "id:" { print $2; exit }')
        fallar "Apple no aceptó la imagen; el informe: xcrun notarytool log ${envio:-ID} --keychain-profile $perfil"
        ;;
esac
xcrun stapler staple "$dmg" || fallar "No se pudo grapar el ticket de notarización a la imagen."
spctl --assess --type open --context context:primary-signature -v "$dmg" ||
    fallar "Gatekeeper no acepta la imagen notarizada."
echo "Imagen notarizada: $dmg"
