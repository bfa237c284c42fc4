"""The installer script run on its own, offline, in a temporary HOME."""

import http.server
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from urllib.parse import urlsplit

from comun import FFMPEG, FFMPEG_DATOS, ConTemporal, construir_espejo, construir_rueda, copiar_paquete, datos_de, instalar


class ConInstalacionBase(ConTemporal):
    """One real installation made once; each case works on a copy of it."""

    @classmethod
    def setUpClass(cls):
        cls.base = Path(tempfile.mkdtemp(prefix="varno-base-"))
        cls.addClassCleanup(shutil.rmtree, cls.base, True)
        (cls.base / "casa").mkdir()
        cls.origen = copiar_paquete(cls.base / "paquete", ffmpeg=True)
        # A space in the mirror's path, as in "Application Support".
        cls.rc, cls.lineas = instalar(cls.base / "casa", construir_espejo(cls.base / "espejo local"), cls.origen)
        assert cls.rc == 0, "\n".join(cls.lineas)

    def copia(self, nombre):
        """A HOME with the base installation but for ffmpeg, and a mirror to download it again."""
        casa = self.tmp / nombre
        shutil.copytree(self.base / "casa", casa, symlinks=True)
        (datos_de(casa) / "bin" / "ffmpeg").unlink()
        (datos_de(casa) / ".pasos" / "ffmpeg").unlink()
        return casa, construir_espejo(self.tmp / ("espejo-" + nombre))


class Instalacion(ConInstalacionBase):
    def test_seven_steps_in_order_and_marker_written_last(self):
        self.assertEqual([l[:7] for l in self.lineas if l.startswith("== ")], ["== %d/7 " % n for n in range(1, 8)])
        datos = datos_de(self.base / "casa")
        self.assertEqual((datos / "instalado.txt").read_text(), "1.0.0\n")
        self.assertTrue(os.access(datos / "python" / "bin" / "python", os.X_OK))
        self.assertEqual(os.listdir(datos / "app"), [])  # the engine is in Python, installed by pip
        self.assertEqual(len(list((datos / "python").glob("lib/python3*/site-packages/varno_motor-*.dist-info"))), 1)
        marca = (datos / "instalado.txt").stat().st_mtime_ns
        archivos = [r for r in datos.rglob("*") if r.is_file() and not r.is_symlink()]
        self.assertEqual([str(r) for r in archivos if r.stat().st_mtime_ns > marca], [])
        self.assertEqual([r.name for r in archivos if r.name.endswith(".parcial") or ".tmp." in str(r)], [])

    def test_rerun_skips_finished_steps_without_downloading(self):
        casa = self.tmp / "casa"
        shutil.copytree(self.base / "casa", casa, symlinks=True)
        entorno = (datos_de(casa) / "python" / "pyvenv.cfg").stat().st_ino
        (self.tmp / "vacio").mkdir()  # any download from this mirror would fail
        # An engine that an older version copied into the working folder would hide the installed one.
        (datos_de(casa) / "app" / "motor").mkdir()
        (datos_de(casa) / "app" / "motor" / "__init__.py").write_text("raise SystemExit('el motor viejo')\n")

        rc, lineas = instalar(casa, self.tmp / "vacio", self.origen, version="1.0.1")

        self.assertEqual(rc, 0, "\n".join(lineas))
        for linea in ["Python ya estaba instalado.", "ffmpeg ya estaba instalado.", "Las bibliotecas ya estaban instaladas."]:
            self.assertIn(linea, lineas)
        self.assertFalse((datos_de(casa) / "app" / "motor").exists())
        self.assertEqual((datos_de(casa) / "python" / "pyvenv.cfg").stat().st_ino, entorno)
        self.assertEqual((datos_de(casa) / "instalado.txt").read_text(), "1.0.1\n")


def a_medias(parcial, final, espejo, real):
    # The mirror's first half becomes other bytes: only a download that really
    # goes on from the partial file ends with the right sum.
    parcial.write_bytes(real[:len(real) // 2])
    espejo.write_bytes(b"z" * (len(real) // 2) + real[len(real) // 2:])


class Descargas(ConInstalacionBase):
    def test_what_an_earlier_run_left_in_the_downloads_folder(self):
        casos = [  # name, prepare(partial, final, mirror file, real bytes), line expected, line not expected
            ("partial file resumes", a_medias, "Se reanuda la descarga", "dañado"),
            ("complete but wrong partial", lambda p, f, e, r: p.write_bytes(b"x" * len(r)), "dañado", None),
            ("partial longer than the file", lambda p, f, e, r: p.write_bytes(r + b"+"), "se empieza de nuevo", None),
            ("damaged finished download", lambda p, f, e, r: f.write_bytes(r[:-1]), "dañado", "Se usa lo ya"),
            ("good finished download", lambda p, f, e, r: (f.write_bytes(r), e.unlink()), "Se usa lo ya", "Descargando"),
        ]
        for i, (nombre, preparar, esperada, ausente) in enumerate(casos):
            with self.subTest(nombre):
                casa, espejo = self.copia("casa%d" % i)
                descargas = datos_de(casa) / "descargas"
                descargas.mkdir()
                preparar(descargas / (FFMPEG + ".parcial"), descargas / FFMPEG, espejo / FFMPEG,
                         (espejo / FFMPEG).read_bytes())

                # Half of the cases name the mirror by URL, as a user may.
                rc, lineas = instalar(casa, espejo.as_uri() if i % 2 else espejo, self.origen)

                texto = "\n".join(lineas)
                self.assertEqual(rc, 0, texto)
                self.assertIn(esperada, texto)
                self.assertNotIn(ausente or "\0", texto)
                self.assertTrue((datos_de(casa) / "bin" / "ffmpeg").is_file())
                self.assertFalse(descargas.exists())


def sustituto(nombre, cuerpo):
    """Spoils the mirror by putting a stand-in for a tool in its bin/, which comes first on PATH."""
    def poner(espejo):
        (espejo / "bin").mkdir()
        (espejo / "bin" / nombre).write_text("#!/bin/sh\n" + cuerpo + "\n")
        (espejo / "bin" / nombre).chmod(0o755)
    return poner


CERTIFICADO = ("Certificado no reconocido, quizá de un proxy de empresa; SSL_CERT_FILE puede indicar el suyo. "
               "Registro: ~/Library/Application Support/VARNO/instalacion.log")


class Fallos(ConInstalacionBase):
    def test_failure_is_told_last_and_no_marker_outlives_a_change(self):
        casos = [(f"curl exit {c}", sustituto("curl", f"exit {c}"), None, CERTIFICADO, None) for c in (35, 51, 58, 60, 77)]
        casos += [(f"uv says {t}", sustituto("uv", f"echo 'error: {t}'; exit 1"), "x==1\n", CERTIFICADO, None)
                  for t in ("[SSL: CERTIFICATE_VERIFY_FAILED] certificate verify failed", "invalid peer certificate")]
        casos += [  # name, spoil(mirror), libraries, last line, marker left (the old one, if nothing changed)
            ("checksum mismatch", lambda e: (e / FFMPEG).write_bytes(b"otra cosa"), None,
             "La descarga de ffmpeg no coincide con su suma SHA-256; se ha descartado.", None),
            ("file missing from the mirror", lambda e: (e / FFMPEG).unlink(), None,
             "No se pudo descargar ffmpeg: el archivo no existe.", None),
            ("library missing from the mirror", lambda e: None, "no-existe==1.0\n",
             "No se pudieron instalar las bibliotecas (el instalador terminó con el código 1).", None),
            ("no mirror at all", shutil.rmtree, None, "No se encuentra el espejo local", "0.9.0\n"),
        ]
        for i, (nombre, estropear, requisitos, ultima, marca) in enumerate(casos):
            with self.subTest(nombre):
                casa, espejo = self.copia("casa%d" % i)
                marcador = datos_de(casa) / "instalado.txt"
                marcador.write_text("0.9.0\n")
                estropear(espejo)
                origen = copiar_paquete(self.tmp / ("p%d" % i), requisitos) if requisitos else self.origen

                rc, lineas = instalar(casa, espejo, origen, entorno=dict(PATH="%s/bin:/usr/bin:/bin" % espejo))

                self.assertNotEqual(rc, 0)
                self.assertIn(ultima, lineas[-1])
                self.assertEqual(marcador.read_text() if marcador.exists() else None, marca)
                self.assertEqual(list(datos_de(casa).rglob("*.parcial")) + list(datos_de(casa).rglob(FFMPEG)), [])


class EntornoHostil(ConTemporal):
    def test_misleading_environment_stays_out_and_libraries_come_from_the_mirror(self):
        espejo = construir_espejo(self.tmp / "espejo")
        construir_rueda(espejo / "ruedas")
        origen = copiar_paquete(self.tmp / "paquete", "# de prueba\nvarno-prueba==1.0\n")
        (self.tmp / "trampa").mkdir()
        (self.tmp / "trampa" / "sitecustomize.py").write_text("raise SystemExit('PYTHONPATH se coló')\n")
        (self.tmp / "casa").mkdir()
        entorno = dict(PYTHONPATH=str(self.tmp / "trampa"), PYTHONHOME="/no/existe", PIP_USER="1",
                       PIP_TARGET=str(self.tmp / "fuera"))

        rc, lineas = instalar(self.tmp / "casa", espejo, origen, entorno=entorno)

        self.assertEqual(rc, 0, "\n".join(lineas))
        python = datos_de(self.tmp / "casa") / "python"
        donde = subprocess.run([str(python / "bin" / "python"), "-I", "-c", "import varno_prueba as v; print(v.__file__)"],
                               stdout=subprocess.PIPE, check=True, env={}).stdout.decode()
        self.assertTrue(donde.startswith(str(python)), donde)
        self.assertFalse((self.tmp / "fuera").exists())


class Espejo(http.server.BaseHTTPRequestHandler):
    """The mirror's folder served slowly, both as itself and as a proxy for any
    host; each request is recorded as it came (a proxied one names its URL)."""

    def do_GET(self):
        self.server.pedidos.append(self.path)
        ruta = self.server.espejo / urlsplit(self.path).path.strip("/")
        if ruta.is_dir():
            datos = "".join('<a href="/%s">x</a>' % h.relative_to(self.server.espejo) for h in ruta.iterdir()).encode()
        else:
            datos = ruta.read_bytes()
        desde = int(re.match(r"bytes=(\d+)-", self.headers.get("Range", "bytes=0-"))[1])
        self.send_response(206 if desde else 200)
        self.send_header("Content-Type", "text/html")  # all pip looks at
        if desde:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (desde, len(datos) - 1, len(datos)))
        if not self.server.sin_largo:
            self.send_header("Content-Length", str(len(datos) - desde))
        self.end_headers()
        paso = max(1, len(datos) // 10)  # the whole file in about 5 s
        for i in range(desde, len(datos), paso):
            self.wfile.write(datos[i:i + paso])
            self.wfile.flush()
            time.sleep(0.5)

    def log_message(self, *_):
        pass


class Red(ConInstalacionBase):
    def test_proxy_and_progress_of_a_slow_download(self):
        servidor = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Espejo)
        threading.Thread(target=servidor.serve_forever, daemon=True).start()
        self.addCleanup(servidor.server_close)
        self.addCleanup(servidor.shutdown)
        proxy = "http://127.0.0.1:%d" % servidor.server_port
        scutil = ("<dictionary> {\n  ExceptionsList : <array> {\n    0 : *.empresa.local\n  }\n  HTTPSEnable : 1\n"
                  "  HTTPSPort : %d\n  HTTPSProxy : 127.0.0.1\n  HTTPEnable : 1\n  HTTPPort : %d\n  HTTPProxy : 127.0.0.1\n  __SCOPED__ : <dictionary> {\n    en0 : <dictionary> {\n"
                  "      HTTPProxy : otro\n    }\n  }\n}" % (servidor.server_port, servidor.server_port))
        por_nombre, progreso = "http://varno-espejo.invalid", r"ffmpeg: (\d+)( de 200)? KB · \d+ KB/s( · quedan \d+ s)?"
        casos = [  # name, mirror, proxy port in System Settings, environment, unknown size, resumed, first line, through the proxy
            ("system proxy, mirror by name", por_nombre, servidor.server_port, {}, False, True,
             "Se usa el proxy del sistema %s, salvo para localhost, 127.0.0.1, ::1, .empresa.local." % proxy, True),
            ("system proxy, mirror on the loopback", proxy, servidor.server_port, {}, False, False, "Se usa el proxy del sistema", False),
            ("the user's own variable wins", por_nombre, 9, dict(http_proxy=proxy), True, False,
             "Se usa el proxy de http_proxy: %s." % proxy, True),
        ]
        for i, (nombre, espejo, puerto, entorno, sin_largo, reanuda, linea, proxiado) in enumerate(casos):
            with self.subTest(nombre):
                casa, servidor.espejo = self.copia("casa%d" % i)
                construir_rueda(servidor.espejo / "ruedas")
                servidor.pedidos, servidor.sin_largo = [], sin_largo
                sustituto("scutil", "cat <<'FIN'\n%s\nFIN" % scutil.replace(str(servidor.server_port), str(puerto)))(servidor.espejo)
                if reanuda:
                    (datos_de(casa) / "descargas").mkdir()
                    (datos_de(casa) / "descargas" / (FFMPEG + ".parcial")).write_bytes(FFMPEG_DATOS[:120000])
                origen = copiar_paquete(self.tmp / ("p%d" % i), "varno-prueba==1.0\n", ffmpeg=True)

                rc, lineas = instalar(casa, espejo, origen, entorno=dict(entorno, PATH="%s/bin:/usr/bin:/bin" % servidor.espejo))

                self.assertEqual(rc, 0, "\n".join(lineas))
                self.assertIn(linea, lineas[2])
                self.assertEqual({p.startswith(por_nombre + "/") for p in servidor.pedidos}, {proxiado}, servidor.pedidos)
                self.assertIn(por_nombre + "/ruedas" if proxiado else "/ruedas", servidor.pedidos)
                vistas = [re.fullmatch(progreso, l) for l in lineas if l.startswith("ffmpeg: ")]
                self.assertTrue(vistas and all(vistas) and len(vistas) <= 6, lineas)  # in about 5 s, less when resumed
                self.assertEqual({(v[2] or v[3]) is None for v in vistas}, {sin_largo}, lineas)
                self.assertEqual(int(vistas[0][1]) >= 120, reanuda, lineas)  # counted from what was there
