"""Every installation goes to a temporary HOME and takes its files from an
offline mirror built by scripts/espejo.sh: no real home folder, no network."""

import hashlib
import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

RAIZ = Path(os.environ.get("VARNO_FUENTES", Path(__file__).resolve().parents[2]))
PAQUETE = RAIZ / "paquete"
BUNDLE = Path(os.environ.get("VARNO_BUNDLE", RAIZ / "build" / "VARNO.app"))
# The package as the build put it into the bundle, with the engine's wheel.
EMPAQUETADO = BUNDLE / "Contents" / "Resources" / "paquete"
# On Linux Python and ffmpeg come from the system, so the manifest of
# copiar_paquete() names this stand-in for ffmpeg, for something to download.
FFMPEG = "ffmpeg-prueba"
FFMPEG_DATOS = b"#!/bin/sh\necho 'ffmpeg version prueba'\n" + b"#" * 200000 + b"\n"


def datos_de(casa):
    return Path(casa) / "Library" / "Application Support" / "VARNO"


def construir_espejo(destino):
    subprocess.run(["bash", str(RAIZ / "scripts" / "espejo.sh"), str(destino)], check=True, stdout=subprocess.DEVNULL)
    (Path(destino) / FFMPEG).write_bytes(FFMPEG_DATOS)
    return Path(destino)


def instalar(casa, espejo, origen=EMPAQUETADO, version="1.0.0", entorno=None):
    """Runs the script as VARNO does, with its PATH; returns its exit status and its lines."""
    env = dict(HOME=str(casa), PATH="/usr/bin:/bin:/usr/sbin:/sbin", LANG="C.UTF-8", VARNO_ORIGEN=str(origen),
               VARNO_VERSION=version, VARNO_ESPEJO=str(espejo)) | (entorno or {})
    r = subprocess.run(["/bin/bash", str(PAQUETE / "instalar_mac.sh")], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=900)
    return r.returncode, r.stdout.decode("utf-8", "replace").splitlines()


def copiar_paquete(destino, requisitos):
    shutil.copytree(EMPAQUETADO, destino)
    (destino / "requisitos.txt").write_text(requisitos)
    with open(destino / "manifiesto.txt", "a") as m:
        m.write("ffmpeg linux %s https://example.com/%s\n" % (hashlib.sha256(FFMPEG_DATOS).hexdigest(), FFMPEG))
    return destino


def construir_rueda(carpeta, nombre):
    """A minimal pure-Python wheel, for pip to install offline."""
    info = nombre + "-1.0.dist-info/"
    archivos = {nombre + "/__init__.py": "", info + "METADATA": "Metadata-Version: 2.1\nName: %s\nVersion: 1.0\n" % nombre,
                info + "WHEEL": "Wheel-Version: 1.0\nRoot-Is-Purelib: true\nTag: py3-none-any\n"}
    archivos[info + "RECORD"] = "".join(r + ",,\n" for r in list(archivos) + [info + "RECORD"])
    with zipfile.ZipFile(Path(carpeta) / (nombre + "-1.0-py3-none-any.whl"), "w") as z:
        for ruta, datos in archivos.items():
            z.writestr(ruta, datos)


def sustituto(carpeta, nombre, cuerpo):
    """A stand-in for a tool in carpeta/bin/, for a PATH that names it first."""
    (carpeta / "bin").mkdir(exist_ok=True)
    (carpeta / "bin" / nombre).write_text("#!/bin/sh\n" + cuerpo + "\n")
    (carpeta / "bin" / nombre).chmod(0o755)


class ConTemporal(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="varno-paquete-"))
        self.addCleanup(shutil.rmtree, self.tmp, True)
