"""Every installation goes to a temporary HOME and takes its files from an
offline mirror built by scripts/espejo.sh: no real home folder, no network."""

import base64, hashlib, http.server, io, os, re, shutil, subprocess, tempfile, threading, time, zipfile
from pathlib import Path
from urllib.parse import urlsplit

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


def construir_espejo(destino, nombre="varno_prueba"):
    subprocess.run(["bash", RAIZ / "scripts/espejo.sh", destino], check=True, stdout=subprocess.DEVNULL)
    (destino / FFMPEG).write_bytes(FFMPEG_DATOS)
    (destino / "ruedas" / (nombre + "-1.0-py3-none-any.whl")).write_bytes(rueda(nombre))
    return destino


def entorno_de(casa, espejo, origen, version="1.0.0"):
    """What VARNO gives the installer: its PATH, and where the data, the mirror and the package are."""
    return dict(HOME=str(casa), PATH="/usr/bin:/bin:/usr/sbin:/sbin", LANG="C.UTF-8", VARNO_ORIGEN=str(origen),
                VARNO_VERSION=version, VARNO_ESPEJO=str(espejo))


def instalar(casa, espejo, origen, version="1.0.0", entorno=None, antes=()):
    """Runs the script as VARNO does, with its PATH, through the command `antes` if any; returns its exit status
    and its lines."""
    r = subprocess.run([*antes, BASH, RAIZ / "paquete" / "instalar_mac.sh"], stdin=subprocess.DEVNULL, timeout=900,
                       env=entorno_de(casa, espejo, origen, version) | (entorno or {}), stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT)
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


def rueda(nombre, version="1.0", modulos=0, extra={}):
    """A wheel laid out as published ones are: a package of `modulos` modules and `extra` files, a console script
    that pip writes from entry_points.txt, and RECORD last, with the hash and size of every other file; the same
    bytes each time (so its SHA-256 is known)."""
    info, z, filas = "%s-%s.dist-info/" % (nombre, version), io.BytesIO(), []
    archivos = {"%s/m%d.py" % (nombre, i): "VALOR = %d\n%s\n" % (i, "#" * 2000) for i in range(modulos)}
    archivos |= {nombre + "/__init__.py": "def main():\n    print('%s %s')\n" % (nombre, version),
                 info + "METADATA": "Metadata-Version: 2.1\nName: %s\nVersion: %s\n" % (nombre, version),
                 info + "WHEEL": "Wheel-Version: 1.0\nGenerator: a\nRoot-Is-Purelib: true\nTag: py3-none-any\n",
                 info + "entry_points.txt": "[console_scripts]\n%s = %s:main\n" % (nombre, nombre)} | extra
    with zipfile.ZipFile(z, "w") as zz:
        for ruta, texto in archivos.items():
            zz.writestr(zipfile.ZipInfo(ruta), texto)  # dated 1980, always
            suma = base64.urlsafe_b64encode(hashlib.sha256(texto.encode()).digest()).rstrip(b"=").decode()
            filas.append("%s,sha256=%s,%d\n" % (ruta, suma, len(texto.encode())))
        zz.writestr(zipfile.ZipInfo(info + "RECORD"), "".join(filas) + info + "RECORD,,\n")
    return z.getvalue()


def copiar_paquete(destino, requisitos):
    """The built package's scripts and lists, with these libraries and a stand-in ffmpeg to download on Linux."""
    shutil.copytree(BUNDLE / "Contents/Resources/paquete", destino, dirs_exist_ok=True)
    (destino / "requisitos.txt").write_text(requisitos)
    with open(destino / "manifiesto.txt", "a") as m:
        m.write("ffmpeg linux %s https://example.com/%s\n" % (hashlib.sha256(FFMPEG_DATOS).hexdigest(), FFMPEG))
    return destino


sitio = lambda datos: next((datos / "python/lib").glob("python3*/site-packages"))


class Espejo(http.server.BaseHTTPRequestHandler):
    """A mirror's folder, both as itself and as a proxy for any host, ffmpeg slowly (20 kB each `pausa` seconds);
    each file sent whole is recorded as asked for (a proxied one names its URL); a range gets the error in
    rango-responde."""

    def do_GET(self):
        ruta = self.server.espejo / urlsplit(self.path).path.strip("/")
        datos = ruta.read_bytes() if ruta.is_file() else "".join(
            '<a href="/%s">x</a>' % h.relative_to(self.server.espejo) for h in ruta.iterdir()).encode()
        desde = int(re.match(r"bytes=(\d+)-", self.headers.get("Range", "bytes=0-"))[1])
        if desde and (self.server.espejo / "rango-responde").is_file():
            return self.send_error(int((self.server.espejo / "rango-responde").read_text()))
        self.send_response(206 if desde else 200)
        self.send_header("Content-Type", "text/html")  # all pip looks at
        if desde:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (desde, len(datos) - 1, len(datos)))
        if not self.server.sin_largo:
            self.send_header("Content-Length", str(len(datos) - desde))
        self.end_headers()
        paso = 20000 if ruta.name == FFMPEG else len(datos) + 1
        for i in range(desde, len(datos), paso):
            self.wfile.write(datos[i:i + paso])
            self.wfile.flush()
            time.sleep(self.server.pausa if ruta.name == FFMPEG else 0)
        self.server.pedidos.append(self.path)

    log_message = lambda *_: None


def servir(espejo=None, pausa=0.1):
    """Serves a mirror from a thread; a client killed halfway is no error."""
    s = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Espejo)
    s.espejo, s.pausa, s.pedidos, s.sin_largo, s.handle_error = espejo, pausa, [], False, lambda *_: None
    s.url = "http://127.0.0.1:%d" % s.server_port
    threading.Thread(target=s.serve_forever, daemon=True).start()
    return s
