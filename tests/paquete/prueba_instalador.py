"""The installer script run on its own, offline, in a temporary HOME. Each class
makes one real installation; every case runs the script again on a copy of it."""

import http.server
import re
import shutil
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from urllib.parse import urlsplit

from comun import (FFMPEG, FFMPEG_DATOS, ConTemporal, construir_espejo, construir_rueda, copiar_paquete, datos_de,
                   instalar, sustituto)

CERTIFICADO = ("Certificado no reconocido, quizá de un proxy de empresa; SSL_CERT_FILE puede indicar el suyo. "
               "Registro: ~/Library/Application Support/VARNO/instalacion.log")


class ConBase(ConTemporal):
    @classmethod
    def setUpClass(cls):
        # A space in the mirror's path, as in "Application Support", and an environment that must stay out.
        cls.base = Path(tempfile.mkdtemp(prefix="varno-base-"))
        cls.addClassCleanup(shutil.rmtree, cls.base, True)
        construir_rueda(construir_espejo(cls.base / "espejo local") / "ruedas", "varno_prueba")
        (cls.base / "sitecustomize.py").write_text("raise SystemExit('PYTHONPATH se coló')\n")
        cls.origen = copiar_paquete(cls.base / "paquete", "varno-prueba==1.0\n")
        cls.rc, cls.lineas = instalar(cls.base / "casa", cls.base / "espejo local", cls.origen, entorno=dict(
            PYTHONPATH=str(cls.base), PYTHONHOME="/no/existe", PIP_USER="1", PIP_TARGET=str(cls.base / "fuera")))
        assert cls.rc == 0, "\n".join(cls.lineas)

    def correr(self, i, preparar, requisitos=None, entorno=None, url=False):
        """The script on a copy of the base installation without ffmpeg and with an older marker, after
        preparar(mirror, downloads folder); the mirror is named by its path, its file URL or `url`."""
        casa, espejo = self.tmp / ("casa%d" % i), construir_espejo(self.tmp / ("espejo%d" % i))
        shutil.copytree(self.base / "casa", casa, symlinks=True)
        datos = datos_de(casa)
        for ruta in ["bin/ffmpeg", ".pasos/ffmpeg"]:
            (datos / ruta).unlink()
        (datos / "instalado.txt").write_text("0.9.0\n")
        (datos / "descargas").mkdir()
        preparar(espejo, datos / "descargas")
        origen = copiar_paquete(self.tmp / ("p%d" % i), requisitos) if requisitos else self.origen
        nombre = url if isinstance(url, str) else espejo.as_uri() if url else espejo
        rc, lineas = instalar(casa, nombre, origen, entorno=dict(entorno or {}, PATH="%s/bin:/usr/bin:/bin" % espejo))
        return rc, lineas, datos


class Guion(ConBase):
    def test_first_installation_in_seven_steps_marker_last_libraries_from_the_mirror(self):
        self.assertEqual([l[:7] for l in self.lineas if l.startswith("== ")], ["== %d/7 " % n for n in range(1, 8)])
        datos = datos_de(self.base / "casa")
        marca = (datos / "instalado.txt").stat().st_mtime_ns
        archivos = [r for r in datos.rglob("*") if r.is_file() and not r.is_symlink()]
        self.assertEqual([str(r) for r in archivos if r.stat().st_mtime_ns > marca or r.suffix == ".parcial"], [])
        subprocess.run([str(datos / "python" / "bin" / "python"), "-I", "-c", "import sys, varno_prueba as v\n"
                        "sys.exit(not v.__file__.startswith(sys.prefix + '/'))"], check=True, env={})
        self.assertFalse((self.base / "fuera").exists())

    def test_what_the_script_finds_and_how_it_ends(self):
        def ya_hecho(espejo, descargas):  # nothing in the mirror, and an engine an older version left in app/
            for ruta in ["bin/ffmpeg", ".pasos/ffmpeg"]:
                shutil.copy2(datos_de(self.base / "casa") / ruta, descargas.parent / ruta)
            (espejo / FFMPEG).unlink()
            (descargas.parent / "app" / "motor").mkdir()
            (descargas.parent / "app" / "motor" / "__init__.py").write_text("raise SystemExit('el motor viejo')\n")

        parcial, bien = FFMPEG + ".parcial", "1.0.0\n"
        casos = [  # name, prepare(mirror, downloads), libraries, line expected (the last on a failure), marker after
            ("every step done before", ya_hecho, None, "ffmpeg ya estaba instalado.", bien),
            ("good finished download", lambda e, d: shutil.move(e / FFMPEG, d / FFMPEG), None, "Se usa lo ya", bien),
            ("damaged finished download", lambda e, d: (d / FFMPEG).write_bytes(FFMPEG_DATOS[:-1]), None, "dañado", bien),
            ("complete but wrong partial", lambda e, d: (d / parcial).write_bytes(b"x" * len(FFMPEG_DATOS)), None,
             "dañado", bien),
            ("partial longer than the file", lambda e, d: (d / parcial).write_bytes(FFMPEG_DATOS + b"+"), None,
             "se empieza de nuevo", bien),
            ("checksum mismatch", lambda e, d: (e / FFMPEG).write_bytes(b"otra cosa"), None,
             "La descarga de ffmpeg no coincide con su suma SHA-256; se ha descartado.", None),
            ("file missing from the mirror", lambda e, d: (e / FFMPEG).unlink(), None,
             "No se pudo descargar ffmpeg: el archivo no existe.", None),
            ("library missing from the mirror", lambda e, d: None, "no-existe==1.0\n",
             "No se pudieron instalar las bibliotecas (el instalador terminó con el código 1).", None),
            ("no mirror at all", lambda e, d: shutil.rmtree(e), None, "No se encuentra el espejo local", "0.9.0\n"),
        ]
        casos += [(f"curl exit {c}", lambda e, d, c=c: sustituto(e, "curl", f"exit {c}"), None, CERTIFICADO, None)
                  for c in (35, 51, 58, 60, 77)]
        casos += [(f"uv says {t}", lambda e, d, t=t: sustituto(e, "uv", f"echo 'error: {t}'; exit 1"), "x==1\n",
                   CERTIFICADO, None) for t in ("[SSL: CERTIFICATE_VERIFY_FAILED] certificate verify failed",
                                                "invalid peer certificate")]
        for i, (nombre, preparar, requisitos, linea, marca) in enumerate(casos):
            with self.subTest(nombre):
                rc, lineas, datos = self.correr(i, preparar, requisitos, url=i % 2 == 1)

                texto = "\n".join(lineas)
                marcador = datos / "instalado.txt"
                self.assertEqual((rc == 0, marcador.read_text() if marcador.exists() else None), (marca == bien, marca), texto)
                self.assertIn(linea, lineas[-1] if rc else texto)
                self.assertTrue(rc or (datos / "bin" / "ffmpeg").is_file())
                self.assertEqual(list(datos.rglob("*.parcial")) + list(datos.rglob(FFMPEG)), [])


class Espejo(http.server.BaseHTTPRequestHandler):
    """The mirror's folder, both as itself and as a proxy for any host, ffmpeg slowly;
    each request is recorded as it came (a proxied one names its URL)."""

    def do_GET(self):
        self.server.pedidos.append(self.path)
        ruta = self.server.espejo / urlsplit(self.path).path.strip("/")
        datos = ruta.read_bytes() if ruta.is_file() else "".join(
            '<a href="/%s">x</a>' % h.relative_to(self.server.espejo) for h in ruta.iterdir()).encode()
        desde = int(re.match(r"bytes=(\d+)-", self.headers.get("Range", "bytes=0-"))[1])
        self.send_response(206 if desde else 200)
        self.send_header("Content-Type", "text/html")  # all pip looks at
        if desde:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (desde, len(datos) - 1, len(datos)))
        if not self.server.sin_largo:
            self.send_header("Content-Length", str(len(datos) - desde))
        self.end_headers()
        paso = max(1, len(datos) // 10 if ruta.name == FFMPEG else len(datos))  # ffmpeg in about 5 s
        for i in range(desde, len(datos), paso):
            self.wfile.write(datos[i:i + paso])
            self.wfile.flush()
            time.sleep(0.5 if paso < len(datos) else 0)

    def log_message(self, *_):
        pass


class Red(ConBase):
    def test_proxy_and_progress_of_a_slow_download(self):
        servidor = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Espejo)
        threading.Thread(target=servidor.serve_forever, daemon=True).start()
        self.addCleanup(servidor.server_close)
        self.addCleanup(servidor.shutdown)
        proxy, por_nombre = "http://127.0.0.1:%d" % servidor.server_port, "http://varno-espejo.invalid"
        scutil = ("<dictionary> {\n  ExceptionsList : <array> {\n    0 : *.empresa.local\n  }\n  HTTPSEnable : 1\n"
                  "  HTTPSPort : %d\n  HTTPSProxy : 127.0.0.1\n  HTTPEnable : 1\n  HTTPPort : %d\n  HTTPProxy : 127.0.0.1\n"
                  "  __SCOPED__ : <dictionary> {\n    en0 : <dictionary> {\n      HTTPProxy : otro\n    }\n  }\n}")
        progreso = r"ffmpeg: (\d+)( de 200)? KB · \d+ KB/s( · quedan \d+ s)?"
        casos = [  # name, mirror, proxy port in System Settings, environment, unknown size, resumed, first line, proxied
            ("system proxy, mirror by name", por_nombre, servidor.server_port, {}, False, True,
             "Se usa el proxy del sistema %s, salvo para localhost, 127.0.0.1, ::1, .empresa.local." % proxy, True),
            ("system proxy, mirror on the loopback", proxy, servidor.server_port, {}, False, False,
             "Se usa el proxy del sistema", False),
            ("the user's own variable wins", por_nombre, 9, dict(http_proxy=proxy), True, False,
             "Se usa el proxy de http_proxy: %s." % proxy, True),
        ]
        for i, (nombre, url, puerto, entorno, sin_largo, reanuda, linea, proxiado) in enumerate(casos):
            with self.subTest(nombre):
                def preparar(espejo, descargas):
                    servidor.espejo, servidor.pedidos, servidor.sin_largo = espejo, [], sin_largo
                    construir_rueda(espejo / "ruedas", "varno_red")
                    sustituto(espejo, "scutil", "cat <<'FIN'\n%s\nFIN" % (scutil % (puerto, puerto)))
                    if reanuda:
                        (descargas / (FFMPEG + ".parcial")).write_bytes(FFMPEG_DATOS[:120000])

                rc, lineas, _ = self.correr(i, preparar, "varno-red==1.0\n", entorno, url)

                self.assertEqual(rc, 0, "\n".join(lineas))
                self.assertIn(linea, lineas[2])
                self.assertEqual({p.startswith(por_nombre + "/") for p in servidor.pedidos}, {proxiado}, servidor.pedidos)
                self.assertIn(por_nombre + "/ruedas" if proxiado else "/ruedas", servidor.pedidos)
                vistas = [re.fullmatch(progreso, l) for l in lineas if l.startswith("ffmpeg: ")]
                self.assertTrue(vistas and all(vistas) and len(vistas) <= 6, lineas)  # in about 5 s, less when resumed
                self.assertEqual({(v[2] or v[3]) is None for v in vistas}, {sin_largo}, lineas)
                self.assertEqual(int(vistas[0][1]) >= 120, reanuda, lineas)  # counted from what was there
