"""Shared by the tests of the installer script and of the engine. Every
installation goes to a temporary HOME and takes its files from an offline
mirror built by scripts/espejo.sh: no real home folder, no network."""

import base64
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
RUTA = "/usr/bin:/bin:/usr/sbin:/sbin"  # the PATH that VARNO gives the script
INTERFAZ = "interfaz-1.tar"


def datos_de(casa):
    return Path(casa) / "Library" / "Application Support" / "VARNO"


def construir_espejo(destino):
    subprocess.run(["bash", str(RAIZ / "scripts" / "espejo.sh"), str(destino)], check=True,
                   stdout=subprocess.DEVNULL)
    return Path(destino)


def instalar(casa, espejo, origen=PAQUETE, version="1.0.0", entorno=None, ruta=RUTA):
    """Runs the script as VARNO does; returns its exit status and its lines."""
    env = dict(HOME=str(casa), PATH=ruta, LANG="C.UTF-8", VARNO_ORIGEN=str(origen),
               VARNO_VERSION=version, VARNO_ESPEJO=str(espejo), **(entorno or {}))
    r = subprocess.run(["/bin/bash", str(PAQUETE / "instalar_mac.sh")], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=900)
    return r.returncode, r.stdout.decode("utf-8", "replace").splitlines()


def copiar_paquete(destino, requisitos=None):
    shutil.copytree(PAQUETE, destino, ignore=shutil.ignore_patterns("__pycache__"))
    if requisitos is not None:
        (Path(destino) / "requisitos.txt").write_text(requisitos)
    return Path(destino)


def construir_rueda(carpeta, nombre="varno_prueba"):
    """A minimal pure-Python wheel, for pip to install offline."""
    info = nombre + "-1.0.dist-info/"
    archivos = {nombre + "/__init__.py": b"VALOR = 42\n",
                info + "METADATA": ("Metadata-Version: 2.1\nName: %s\nVersion: 1.0\n" % nombre).encode(),
                info + "WHEEL": b"Wheel-Version: 1.0\nRoot-Is-Purelib: true\nTag: py3-none-any\n"}
    registro = ["%s,sha256=%s,%d" % (r, base64.urlsafe_b64encode(hashlib.sha256(d).digest()).rstrip(b"=").decode(),
                                     len(d)) for r, d in archivos.items()]
    archivos[info + "RECORD"] = ("\n".join(registro + [info + "RECORD,,"]) + "\n").encode()
    with zipfile.ZipFile(Path(carpeta) / (nombre + "-1.0-py3-none-any.whl"), "w") as z:
        for ruta, datos in archivos.items():
            z.writestr(ruta, datos)


class ConTemporal(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="varno-paquete-"))
        self.addCleanup(shutil.rmtree, self.tmp, True)
