"""Helpers shared by the tests of the installer script and of the engine.

Every installation goes to a temporary HOME and takes its files from an
offline mirror built by scripts/espejo.sh, so nothing here touches the real
home folder or the network.
"""

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
INSTALADOR = PAQUETE / "instalar_mac.sh"
# The PATH that VARNO gives the script.
RUTA = "/usr/bin:/bin:/usr/sbin:/sbin"
ARCHIVO_INTERFAZ = "interfaz-1.tar"


def datos_de(casa):
    return Path(casa) / "Library" / "Application Support" / "VARNO"


def construir_espejo(destino):
    subprocess.run(["bash", str(RAIZ / "scripts" / "espejo.sh"), str(destino)],
                   check=True, stdout=subprocess.DEVNULL)
    return Path(destino)


def instalar(casa, espejo, origen=PAQUETE, version="1.0.0", entorno=None, ruta=RUTA):
    """Runs the script as VARNO does; returns its exit status and its lines."""
    env = {
        "HOME": str(casa),
        "PATH": ruta,
        "LANG": "C.UTF-8",
        "VARNO_ORIGEN": str(origen),
        "VARNO_VERSION": version,
        "VARNO_ESPEJO": str(espejo),
    }
    env.update(entorno or {})
    r = subprocess.run(["/bin/bash", str(INSTALADOR)], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=900)
    return r.returncode, r.stdout.decode("utf-8", "replace").splitlines()


def copiar_paquete(destino, requisitos=None):
    """A copy of the installer's folder, with its own list of libraries."""
    shutil.copytree(PAQUETE, destino, ignore=shutil.ignore_patterns("__pycache__"))
    if requisitos is not None:
        (Path(destino) / "requisitos.txt").write_text(requisitos, encoding="utf-8")
    return Path(destino)


def construir_rueda(carpeta, nombre="varno_prueba", version="1.0", codigo="VALOR = 42\n"):
    """A minimal pure-Python wheel, so that pip has something to install offline."""
    info = "%s-%s.dist-info" % (nombre, version)
    archivos = {
        "%s/__init__.py" % nombre: codigo.encode(),
        info + "/METADATA": ("Metadata-Version: 2.1\nName: %s\nVersion: %s\n" % (nombre, version)).encode(),
        info + "/WHEEL": b"Wheel-Version: 1.0\nGenerator: pruebas\nRoot-Is-Purelib: true\nTag: py3-none-any\n",
    }
    registro = []
    for ruta, datos in archivos.items():
        huella = base64.urlsafe_b64encode(hashlib.sha256(datos).digest()).rstrip(b"=").decode()
        registro.append("%s,sha256=%s,%d" % (ruta, huella, len(datos)))
    registro.append(info + "/RECORD,,")
    archivos[info + "/RECORD"] = ("\n".join(registro) + "\n").encode()
    ruta = Path(carpeta) / ("%s-%s-py3-none-any.whl" % (nombre, version))
    with zipfile.ZipFile(ruta, "w") as z:
        for nombre_archivo, datos in archivos.items():
            z.writestr(nombre_archivo, datos)
    return ruta


def cabeceras(lineas):
    return [l for l in lineas if l.startswith("== ")]


class ConTemporal(unittest.TestCase):
    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="varno-paquete-"))
        self.addCleanup(shutil.rmtree, self.tmp, True)
