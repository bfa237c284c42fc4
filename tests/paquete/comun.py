"""Every installation goes to a temporary HOME and takes its files from an
offline mirror built by scripts/espejo.sh: no real home folder, no network."""

import os, shutil, subprocess, tempfile, zipfile
from pathlib import Path

RAIZ = Path(os.environ.get("VARNO_FUENTES", Path(__file__).resolve().parents[2]))
BASH = os.environ.get("VARNO_BASH", "/bin/bash")  # a Mac's is bash 3.2, which CI builds and names here
BUNDLE = Path(os.environ.get("VARNO_BUNDLE", RAIZ / "build" / "VARNO.app"))
# A stand-in for ffmpeg, to download on Linux; killed at start while a file beside it says it is unsigned.
FFMPEG, FFMPEG_DATOS = "ffmpeg-prueba", b"#!/bin/sh\n[ ! -e \"$0.sin-firma\" ] || exit 137\necho 'ffmpeg version prueba'\n" + b"#" * 200000 + b"\n"


def temporal(entrar):
    """A temporary folder for the test or class whose enterContext is `entrar`."""
    return Path(entrar(tempfile.TemporaryDirectory(prefix="varno-paquete-")))


def datos_de(casa):
    return Path(casa) / "Library" / "Application Support" / "VARNO"


def construir_espejo(destino, rueda="varno_prueba"):
    """The mirror, with the stand-in for ffmpeg and a minimal pure-Python wheel named `rueda`."""
    subprocess.run(["bash", RAIZ / "scripts/espejo.sh", destino], check=True, stdout=subprocess.DEVNULL)
    (destino / FFMPEG).write_bytes(FFMPEG_DATOS)
    info = rueda + "-1.0.dist-info/"
    archivos = {rueda + "/__init__.py": "", info + "RECORD": "", info + "WHEEL": "Wheel-Version: 1.0\n",
                info + "METADATA": "Metadata-Version: 2.1\nName: %s\nVersion: 1.0\n" % rueda}
    with zipfile.ZipFile(destino / "ruedas" / (rueda + "-1.0-py3-none-any.whl"), "w") as z:
        for ruta, texto in archivos.items():
            z.writestr(ruta, texto)
    return destino


def instalar(casa, espejo, origen, version="1.0.0", entorno=None):
    """Runs the script as VARNO does, with its PATH; returns its exit status and its lines."""
    env = dict(HOME=str(casa), PATH="/usr/bin:/bin:/usr/sbin:/sbin", LANG="C.UTF-8", VARNO_ORIGEN=str(origen),
               VARNO_VERSION=version, VARNO_ESPEJO=str(espejo)) | (entorno or {})
    r = subprocess.run([BASH, RAIZ / "paquete" / "instalar_mac.sh"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=900)
    return r.returncode, r.stdout.decode("utf-8", "replace").splitlines()


def escribir(ruta, contenido):
    """Writes bytes, or a shell script from a str, as an executable file; None removes what is there."""
    if contenido is None:
        return shutil.rmtree(ruta) if ruta.is_dir() else ruta.unlink()
    ruta.parent.mkdir(parents=True, exist_ok=True)
    ruta.write_bytes(contenido if isinstance(contenido, bytes) else ("#!/bin/sh\n%s\n" % contenido).encode())
    ruta.chmod(0o755)
