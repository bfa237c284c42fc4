"""Every installation goes to a temporary HOME and takes its files from an
offline mirror built by scripts/espejo.sh: no real home folder, no network."""

import io, os, shutil, subprocess, tempfile, time, zipfile
from pathlib import Path

RAIZ = Path(os.environ.get("VARNO_FUENTES", Path(__file__).resolve().parents[2]))
BASH = os.environ.get("VARNO_BASH", "/bin/bash")  # a Mac's is bash 3.2, which CI builds and names here
BUNDLE = Path(os.environ.get("VARNO_BUNDLE", RAIZ / "build" / "VARNO.app"))
# A stand-in for ffmpeg, to download on Linux; killed at start while a file beside it says it is unsigned.
FFMPEG, FFMPEG_DATOS = "ffmpeg-prueba", b"#!/bin/sh\n[ ! -e \"$0.sin-firma\" ] || exit 137\necho 'ffmpeg version prueba'\n" + b"#" * 200000 + b"\n"


def parar(pid):
    """Stops a process and waits until it has ended (a zombie has), so that nothing it writes outlives the test."""
    for _ in range(100) if pid else []:
        try:
            os.kill(pid, 15)
            if Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()[0] in "ZX":
                return
        except (ProcessLookupError, FileNotFoundError):
            return
        time.sleep(0.05)


def temporal(entrar):
    return Path(entrar(tempfile.TemporaryDirectory(prefix="varno-paquete-")))


datos_de = lambda casa: Path(casa) / "Library" / "Application Support" / "VARNO"


def rueda(nombre, extra={}):
    """A minimal pure-Python wheel with a command and `extra` files, the same bytes each time (so its SHA-256 is known)."""
    info, z = nombre + "-1.0.dist-info/", io.BytesIO()
    with zipfile.ZipFile(z, "w") as zz:
        for ruta, texto in ({nombre + "/__init__.py": "", info + "RECORD": "", info + "WHEEL": "Wheel-Version: 1.0\n",
                             "%s-1.0.data/scripts/%s" % (nombre, nombre): "#!python\n",
                             info + "METADATA": "Metadata-Version: 2.1\nName: %s\nVersion: 1.0\n" % nombre}
                            | extra).items():
            zz.writestr(zipfile.ZipInfo(ruta), texto)  # dated 1980, always
    return z.getvalue()


def construir_espejo(destino, nombre="varno_prueba"):
    subprocess.run(["bash", RAIZ / "scripts/espejo.sh", destino], check=True, stdout=subprocess.DEVNULL)
    (destino / FFMPEG).write_bytes(FFMPEG_DATOS)
    (destino / "ruedas" / (nombre + "-1.0-py3-none-any.whl")).write_bytes(rueda(nombre))
    return destino


def instalar(casa, espejo, origen, version="1.0.0", entorno=None, antes=()):
    """Runs the script as VARNO does, with its PATH, through the command `antes` if any; returns its exit status
    and its lines."""
    env = dict(HOME=str(casa), PATH="/usr/bin:/bin:/usr/sbin:/sbin", LANG="C.UTF-8", VARNO_ORIGEN=str(origen),
               VARNO_VERSION=version, VARNO_ESPEJO=str(espejo)) | (entorno or {})
    r = subprocess.run([*antes, BASH, RAIZ / "paquete" / "instalar_mac.sh"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=900)
    return r.returncode, r.stdout.decode("utf-8", "replace").splitlines()


def escribir(ruta, contenido):
    """Writes bytes, or a shell script from a str, as an executable file; None removes what is there; a Path
    puts a link to it in its place. A link there is replaced, never written through (a venv's lead out of it)."""
    if contenido is None or ruta.is_symlink() or isinstance(contenido, Path) and ruta.exists():
        shutil.rmtree(ruta) if ruta.is_dir() and not ruta.is_symlink() else ruta.unlink()
    if isinstance(contenido, Path):
        return ruta.symlink_to(contenido)
    if contenido is None:
        return
    ruta.parent.mkdir(parents=True, exist_ok=True)
    ruta.write_bytes(contenido if isinstance(contenido, bytes) else ("#!/bin/sh\n%s\n" % contenido).encode())
    ruta.chmod(0o755)


def rueda_real(nombre, version="1.0", modulos=1):
    """A wheel laid out as published ones are: a package of `modulos` modules, a console script that pip writes
    from entry_points.txt, and RECORD last, with the hash and size of every other file."""
    import base64, hashlib
    info, z, filas = "%s-%s.dist-info/" % (nombre, version), io.BytesIO(), []
    archivos = {"%s/m%d.py" % (nombre, i): "VALOR = %d\n%s\n" % (i, "#" * 2000) for i in range(modulos)}
    archivos |= {nombre + "/__init__.py": "def main():\n    print('%s %s')\n" % (nombre, version),
                 info + "METADATA": "Metadata-Version: 2.1\nName: %s\nVersion: %s\n" % (nombre, version),
                 info + "WHEEL": "Wheel-Version: 1.0\nGenerator: a\nRoot-Is-Purelib: true\nTag: py3-none-any\n",
                 info + "entry_points.txt": "[console_scripts]\n%s = %s:main\n" % (nombre, nombre)}
    with zipfile.ZipFile(z, "w") as zz:
        for ruta, texto in archivos.items():
            zz.writestr(zipfile.ZipInfo(ruta), texto)
            suma = base64.urlsafe_b64encode(hashlib.sha256(texto.encode()).digest()).rstrip(b"=").decode()
            filas.append("%s,sha256=%s,%d\n" % (ruta, suma, len(texto.encode())))
        zz.writestr(zipfile.ZipInfo(info + "RECORD"), "".join(filas) + info + "RECORD,,\n")
    return z.getvalue()
