"""The installer script on its own: one real first installation, then each scenario on a copy of it."""

import base64, collections, csv, hashlib, re, shutil, subprocess, time, unittest
from pathlib import Path

from comun import (BASH, FFMPEG, FFMPEG_DATOS, RAIZ, construir_espejo, copiar_paquete, datos_de, entorno_de, escribir,
                   instalar, rueda, servir, sitio, temporal)

SUMA = hashlib.sha256(FFMPEG_DATOS).hexdigest()
requisito = lambda r: "%s==1.0 --hash=sha256:%s\n" % (r.replace("_", "-"), hashlib.sha256(rueda(r)).hexdigest())
# A scenario: files and environment (e: mirror, d: data folder; None removes), line, marker after, libraries, URL.
Caso = collections.namedtuple("Caso", "nombre archivos linea marca requisitos url", defaults=(None, None))


class Guion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A space in the mirror's path, as in "Application Support"; an environment that must stay out.
        cls.base = temporal(cls.enterClassContext)
        (cls.base / "sitecustomize.py").write_text("raise SystemExit('PYTHONPATH se coló')\n")
        cls.origen = copiar_paquete(cls.base / "paquete", requisito("varno_prueba"))
        fuera = dict(PYTHONPATH=str(cls.base), PYTHONHOME="/no", PIP_USER="1", PIP_TARGET=cls.base / "fuera")
        espejo = construir_espejo(cls.base / "espejo local")
        cls.rc, cls.lineas = instalar(cls.base / "casa", espejo, cls.origen, entorno=fuera)
        assert cls.rc == 0, "\n".join(cls.lineas)

    def copia(self, nombre):
        """A copy of the base installation: its home and its data folder."""
        shutil.copytree(self.base / "casa", self.base / nombre, symlinks=True)
        return self.base / nombre, datos_de(self.base / nombre)

    def test_first_installation_in_seven_steps_marker_last_libraries_from_the_mirror(self):
        pasos = [l[:7] for l in self.lineas if l.startswith("== ")]
        self.assertEqual(pasos, ["== %d/7 " % n for n in range(1, 8)])
        datos = datos_de(self.base / "casa")
        marca = (datos / "instalado.txt").stat().st_mtime_ns
        self.assertEqual([r for r in datos.rglob("*") if r.is_file() and not r.is_symlink()
                          and (r.stat().st_mtime_ns > marca or r.suffix == ".parcial")], [])
        # The manifest lists each library's RECORD as it is, and nothing else of site-packages.
        filas = {f[0]: f[1:] for f in csv.reader((datos / "entorno.RECORD").read_text().splitlines()) if "site-packages" in f[0]}
        records = {str(r.relative_to(datos)): r.read_bytes() for r in datos.glob("python/lib/*/site-packages/*.dist-info/RECORD")}
        self.assertEqual(filas, {r: ["sha256=" + base64.urlsafe_b64encode(hashlib.sha256(b).digest()).rstrip(b"=").decode(),
                                     str(len(b))] for r, b in records.items()})
        self.assertLessEqual({"pip", "varno_motor", "varno_prueba"}, {r.split("/")[-2].split("-")[0] for r in filas})

    def test_what_the_script_finds_and_how_it_ends(self):
        """Each case on a copy of the base installation without ffmpeg, with an older marker; the mirror by its path
        or file URL in turn, or the case's URL, served as itself or by proxy (not telling sizes to http_proxy)."""
        servidor = servir(pausa=0.5)
        self.addCleanup(servidor.server_close)
        self.addCleanup(servidor.shutdown)
        proxy, por_nombre = servidor.url, "http://varno-espejo.invalid"
        scutil = ("cat <<'FIN'\n<dictionary> {\n  ExceptionsList : <array> {\n    0 : *.empresa.local\n  }\n"
                  "  HTTPSEnable : 1\n  HTTPSPort : %d\n  HTTPSProxy : 127.0.0.1\n  HTTPEnable : 1\n"
                  "  HTTPPort : %d\n  HTTPProxy : 127.0.0.1\n  __SCOPED__ : <dictionary> {\n"
                  "    en0 : <dictionary> {\n      HTTPProxy : otro\n    }\n  }\n}\nFIN")
        sistema = {"e:bin/scutil": scutil % (servidor.server_port, servidor.server_port)}
        D, E, P, F = "d:descargas/" + FFMPEG, "e:" + FFMPEG, "d:descargas/%s.parcial" % FFMPEG, FFMPEG_DATOS
        hecho = {"d:bin/ffmpeg": F, "d:.pasos/ffmpeg": SUMA.encode() + b"\n", E: None}  # done, none in the mirror
        bien, red = "1.0.0\n", requisito("varno_red")
        pirata = {"varno_red.pth": "import pathlib; pathlib.Path.home().joinpath('pirata').touch()"}  # at a start
        certificado = ("Certificado no reconocido, quizá de un proxy de empresa; SSL_CERT_FILE puede indicar "
                       "el suyo. Registro: ~/Library/Application Support/VARNO/instalacion.log")
        sin_firma = {"d:bin/ffmpeg.sin-firma": b""}
        # A folder of the user's, shaped as a Python's, that a link in DATOS leads to.
        py = next((datos_de(self.base / "casa") / "python/lib").glob("python3*")).name
        suyo = lambda p: {"d:" + p: Path("../../../Documentos"), "d:../../../Documentos/lib/%s/site-packages/mio.txt" % py: b"x"}
        # Apple's developer tools, which codesign needs: xcode-select names their folder.
        firmar = sin_firma | {"e:bin/xcode-select": 'echo "${0%/bin/*}/dev"', "e:dev/usr/bin/codesign_allocate": ""}
        casos = [  # the line: the last on a failure; the older marker stays if the script stops before removing it
            Caso("every step done before", hecho, "ffmpeg ya estaba instalado.", bien),
            Caso("good finished download", {D: F, E: None}, "Se usa lo ya descargado", bien),
            Caso("damaged finished download", {D: F[:-1]}, "estaba dañado", bien),
            Caso("complete but wrong partial", {P: b"x" * len(F)}, "estaba dañado", bien),
            Caso("partial longer than the file", {P: F + b"+"}, "se empieza de nuevo", bien),
            Caso("checksum mismatch", {E: b"otra cosa"}, "ffmpeg no coincide con su suma SHA-256", None),
            Caso("file missing from the mirror", {E: None}, "descargar ffmpeg: el archivo no existe.", None),
            Caso("a wheel that is not the one hashed", {"e:ruedas/varno_red-1.0-py3-none-any.whl":
                 rueda("varno_red", extra=pirata)}, "bibliotecas (el instalador", None, red),
            Caso("no mirror at all", {"e:": None}, "No se encuentra el espejo local", "0.9.0\n"),
            Caso("library without its hash", {}, "bibliotecas (el instalador", None, "varno-red==1.0"),
            Caso("a json.py beside the engine", {"d:app/json.py": "raise SystemExit"}, "Todo listo", bien),
            Caso("system proxy, mirror by name with a password, resumed", sistema | {P: F[:120000]}, "Se usa el "
                 "proxy del sistema %s, salvo para localhost, 127.0.0.1, ::1, .empresa.local." % proxy, bien, red,
                 por_nombre.replace("//", "//yo:secreto@")),
            Caso("system proxy, mirror on the loopback", sistema, "proxy del sistema", bien, red, proxy),
            Caso("a server error while resuming", {P: F[:120000], "e:rango-responde": b"503"},
                 "No se pudo descargar ffmpeg: el servidor respondió con un error.", None, None, proxy),
            Caso("the user's own variable wins", {"e:bin/scutil": scutil % (9, 9), "http_proxy": proxy},
                 "Se usa el proxy de http_proxy: %s." % proxy, bien, red, por_nombre),
            Caso("unsigned ffmpeg, signed ad hoc", firmar | {"e:bin/codesign": 'test -x "$CODESIGN_ALLOCATE" && '
                 'rm "$4.sin-firma"'}, "ffmpeg no arranca sin firma; se firma en este Mac.", bien),
            Caso("unsigned ffmpeg, signing fails", firmar | {"e:bin/codesign": "exit 1"},
                 "No se pudo firmar ffmpeg en este Mac.", None),
            # codesign would work, but run without the tools it makes macOS open a dialog.
            Caso("unsigned ffmpeg, no developer tools", sin_firma | {"e:bin/codesign": 'rm "$4.sin-firma"',
                 "e:bin/xcode-select": "exit 2"}, "instálalas con «xcode-select --install»", None),
            Caso("ffmpeg that never runs", sin_firma, "El ffmpeg descargado no arranca en este Mac.", None),
            Caso("python/ a link to a folder of the user's", suyo("python"), "Todo listo", bien, red),
            Caso("python.anterior a link to a folder of the user's", suyo("python.anterior"), "Todo listo", bien),
            Caso("an old uv", {"e:bin/uv": "echo \"error: unexpected argument '--no-config' found\" >&2; exit 2"},
                 "Este uv es antiguo y no entiende las opciones que hacen falta; se usa pip", bien, red),
        ]
        casos += [Caso(f"curl exit {c}", {"e:bin/curl": f"exit {c}"}, certificado, None)
                  for c in (35, 51, 58, 60, 77)]
        casos += [Caso(f"uv says {t}", {"e:bin/uv": f"echo 'error: {t}'; exit 1"}, certificado, None, "x==1")
                  for t in ("[SSL: CERTIFICATE_VERIFY_FAILED] verify failed", "invalid peer certificate")]
        progreso = r"ffmpeg: (\d+)( de 200)? KB · \d+ KB/s( · quedan \d+ s)?"
        antes = {"d:bin/ffmpeg": None, "d:.pasos/ffmpeg": None, "d:instalado.txt": b"0.9.0\n",
                 "d:../../../.curlrc": b"range = 0-9\n"}  # which only curl -q keeps out
        for i, (nombre, archivos, linea, marca, requisitos, url) in enumerate(casos):
            with self.subTest(nombre):
                (casa, datos), espejo = self.copia("c%d" % i), construir_espejo(self.base / ("e%d" % i), "varno_red")
                entorno = dict(PATH="%s/bin:/usr/bin:/bin" % espejo)
                for clave, contenido in (antes | archivos).items():
                    if clave[1] == ":":
                        escribir({"e": espejo, "d": datos}[clave[0]] / clave[2:], contenido)
                    else:
                        entorno[clave] = contenido
                servidor.espejo, servidor.pedidos, servidor.sin_largo = espejo, [], "http_proxy" in entorno
                origen = copiar_paquete(self.base / ("p%d" % i), requisitos) if requisitos else self.origen
                rc, lineas = instalar(casa, url or [espejo, espejo.as_uri()][i % 2], origen, entorno=entorno)

                texto, marcador = "\n".join(lineas), datos / "instalado.txt"
                self.assertEqual((rc == 0, marcador.exists() and marcador.read_text()),
                                 (marca == bien, marca or False), texto)
                self.assertIn(linea, lineas[-1] if rc else texto)
                self.assertTrue(rc or (datos / "bin/ffmpeg").is_file())
                # A failed run keeps its partial, a good one none; a finished download stays only for a failed run.
                self.assertEqual([p.read_bytes() for p in datos.rglob("*.parcial")],
                                 [archivos[P]] if rc and P in archivos else [])
                subprocess.run([datos / "python/bin/python", "-I", "-c", ""], env=dict(HOME=str(casa)))
                self.assertEqual([*datos.rglob("mio.txt")], [])  # the user's file never moved in
                # No library's code ran, and no password reached the output.
                self.assertEqual(((casa / "pirata").exists(), "secreto" in texto), (False, False))
                for guardado in datos.rglob(FFMPEG):
                    self.assertTrue(rc != 0 and guardado.read_bytes() == F, guardado)
                vistas = [re.fullmatch(progreso, l) for l in lineas if l.startswith("ffmpeg: ")]
                self.assertTrue(all(vistas), lineas)
                if url and rc == 0:  # the requests, as proxied or not, and a download slow enough to show progress
                    proxiado = "varno-espejo" in url
                    self.assertEqual({p.startswith(por_nombre) for p in servidor.pedidos}, {proxiado})
                    self.assertIn(por_nombre + "/ruedas" if proxiado else "/ruedas", servidor.pedidos)
                    self.assertEqual({(v[2] or v[3]) is None for v in vistas}, {servidor.sin_largo}, lineas)
                    self.assertEqual(int(vistas[0][1]) >= 120, P in archivos, lineas)  # from what was there

    def test_one_run_per_data_folder_and_none_without_its_varno(self):
        """A lock whose run is gone is taken over, whatever now has its pid; a run whose VARNO is killed stops with
        what it started, and lets go of its lock; a run that finds another still at work stops it, and says so.
        That run's calls, traced where strace can: a step's files synced before its key, then the manifest and the
        marker each flushed under another name, renamed, and their folder flushed."""
        casa, datos = self.copia("cerrojo")
        (datos / ".pasos/ffmpeg").unlink()
        escribir(casa / "bin/curl", "exec sleep 60")  # a download that never ends
        ajeno = subprocess.Popen(["sleep", "60"])
        self.addCleanup(lambda: (ajeno.kill(), ajeno.wait()))
        escribir(datos / ".instalando", Path(str(ajeno.pid)))
        entorno = entorno_de(casa, self.base / "espejo local", self.origen) | dict(PATH="%s/bin:/usr/bin:/bin" % casa)

        def colgada(*padre):  # a run in its own group, as VARNO starts it, once it waits on the download
            p = subprocess.Popen([*padre, BASH, RAIZ / "paquete/instalar_mac.sh"], env=entorno, start_new_session=True,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            self.addCleanup(lambda: (p.poll() is None and p.kill(), p.wait(), p.stdout.close()))
            self.assertTrue(next((l for l in p.stdout if l.startswith(b"Descargando ffmpeg")), None))
            return p

        varno = colgada(BASH, "-c", '"$@" & wait', "varno")
        varno.kill()
        suelto = any(not (datos / ".instalando").is_symlink() or time.sleep(0.1) for _ in range(50))
        self.assertEqual((suelto, ajeno.poll()), (True, None))

        otra, traza = colgada(), self.base / "traza"
        trazar = shutil.which("strace") and not subprocess.run(["strace", "-qq", "-o", "/dev/null", "true"]).returncode
        rc, lineas = instalar(casa, self.base / "espejo local", self.origen, antes=trazar and [
            "strace", "-f", "-qq", "-o", traza, "-e", "trace=sync,fsync,openat,rename,renameat,renameat2"] or [])
        self.assertEqual((rc, otra.wait(10)), (0, 143), lineas)
        self.assertIn("Otra instalación seguía en marcha en %s; se detiene." % datos, lineas)
        with self.subTest("the order of the calls"):
            if not trazar:
                self.skipTest("Skipped: strace was not found or may not trace here.")
            marcas = {r"(?<!f)sync\(": "S", r"fsync\(": "F", r'".*/\.pasos/ffmpeg", O_WRONLY': "K",
                      r'rename.*"[^"]*/entorno\.RECORD"': "M", r'rename.*"[^"]*/instalado\.txt"': "I"}
            orden = "".join(m for l in traza.read_text().splitlines() for r, m in marcas.items() if re.search(r, l))
            self.assertRegex(orden, r"^[SF]*SK[SF]*SFMF+IF$", lineas)

    def test_a_full_disk_is_said(self):
        """On a file system of its own, too small for Python's environment."""
        disco = ["unshare", "-rm", "sh", "-c", 'mount -t tmpfs -o size=256k tmpfs "$HOME" && exec "$@"', "sh"]
        if not shutil.which("unshare") or subprocess.run(disco + ["true"]).returncode:
            self.skipTest("Skipped: no unprivileged mount namespace to make a small disk in.")
        (self.base / "lleno").mkdir()
        rc, lineas = instalar(self.base / "lleno", self.base / "espejo local", self.origen, antes=disco)
        self.assertEqual((rc, lineas[-1]), (1, "No se pudo crear el entorno de Python: el disco está lleno."))

    def test_a_repair_puts_right_what_it_names_and_nothing_else(self):
        """Each case on a copy of the base installation: one file damaged (None: deleted), a run told to repair
        it; the file is as the first installation left it, the other watched files are untouched, nothing else is
        downloaded, and the marker is there either way."""
        pip = next(sitio(datos_de(self.base / "casa")).glob("pip-*.dist-info")).name[4:-10]
        vigilados = {"libreria": lambda d: sitio(d) / "varno_prueba/__init__.py", "pip": lambda d: sitio(d) / "pip/__init__.py",
                     "motor": lambda d: sitio(d) / "motor/__init__.py", "ffmpeg": lambda d: d / "bin/ffmpeg",
                     "python": lambda d: d / "python/pyvenv.cfg",  # which a Python runs without: only a repair sees it
                     "libreria comando": lambda d: d / "python/bin/varno_prueba"}  # outside site-packages
        cfg = b"home = /usr/bin\ninclude-system-site-packages = false\n"  # a Python that runs, set apart
        no_esta = "No se puede reparar %s: no está en la lista de bibliotecas ni entre las que trae Python."

        def cortada(datos, casa):  # as a kill leaves it: the wheel's RECORD, a RECORD pip could not finish
            record = next(sitio(datos).glob("varno_prueba-*/RECORD"))
            record.write_text("".join(l for l in record.read_text().splitlines(True) if "/INSTALLER," not in l))
            next(sitio(datos).glob("pip-*.dist-info")).joinpath("RECORDx1y2.tmp").write_text("")

        def enlace(datos, casa):  # a folder link inside python/, and a RECORD row through it
            escribir(casa / "Documentos/mio.txt", b"mio")
            escribir(datos / "python/bin/enlace", casa / "Documentos")
            with next(sitio(datos).glob("varno_prueba-*/RECORD")).open("a") as r:
                r.write("../../../bin/enlace/mio.txt,,\n")
            return dict(quedan=[casa / "Documentos/mio.txt"])

        def apartado(nuevo=False, sin_paso=False):  # a Python repair cut short
            def preparar(datos, casa):
                (datos / "python").rename(datos / "python.anterior")
                if nuevo:
                    subprocess.run(["/usr/bin/python3", "-m", "venv", "--without-pip", datos / "python"], check=True)
                if sin_paso:  # as an older installer left it
                    (datos / ".pasos/python").unlink()
            return preparar

        def mac(descarga):  # a Mac's Python, fetched again: from the mirror, or missing there
            def preparar(datos, casa):
                escribir(casa / "bin/uname", "case $1 in -s) echo Darwin ;; *) echo x86_64 ;; esac")
                espejo, origen = construir_espejo(casa / "espejo"), copiar_paquete(casa / "paquete", requisito("varno_prueba"))
                subprocess.run(["tar", "-cf", espejo / "python.tar", "-C", datos, "--exclude=site-packages/*",
                                "--exclude=python/bin/varno_prueba", "python"], check=True)
                suma = hashlib.sha256((espejo / "python.tar").read_bytes()).hexdigest()
                (origen / "manifiesto.txt").write_text("python macos %s https://example.com/python.tar\nffmpeg macos %s "
                                                       "https://example.com/%s\n" % (suma, SUMA, FFMPEG))
                (datos / ".pasos/python").write_text(suma + "\n")
                claves = (datos / ".pasos/bibliotecas").read_text().split()
                (datos / ".pasos/bibliotecas").write_text(" ".join(claves[:2] + [suma]) + "\n")
                if not descarga:
                    (espejo / "python.tar").unlink()
                return dict(origen=origen, entorno=dict(PATH="%s/bin:/usr/bin:/bin" % casa, VARNO_ESPEJO=str(espejo)))
            return preparar

        casos = [  # name, file damaged, VARNO_REPARAR, the line it tells, what else is done first
            ("a byte changed in a library", "libreria", b"#", "varno-prueba==1.0", "Se repara varno-prueba 1.0."),
            ("the engine, named as a user would", "motor", b"#", "Varno.Motor==9", "Se repara Varno.Motor 9."),
            ("ffmpeg replaced", "ffmpeg", b"otro", "ffmpeg", "Se repara ffmpeg."),
            ("a library not listed, Python repaired all the same", "python", None, "python otra==1.0", no_esta % "otra 1.0"),
            ("a listed library at another version", "libreria", b"#", "varno_prueba==2.0", no_esta % "varno_prueba 2.0"),
            ("a token it does not know", "libreria", b"#", "todo", "No se sabe reparar «todo»."),
            ("pip, which the list does not give, not starting", "pip", b"raise SystemExit(1)\n", "pip==" + pip,
             "Se repara pip %s con la rueda que trae Python." % pip),
            ("a library cut short", "libreria", None, "", "La biblioteca varno_prueba 1.0 quedó a medias", cortada),
            ("a folder link in python/", "python", None, "python", "Se conservan las bibliotecas", enlace),
            ("a Python that no longer starts, on a plain run", "python", cfg, "", "Se conservan las bibliotecas",
             lambda datos, casa: escribir(datos / "python/bin/python3", "exit 1")),
            ("a Python repair cut short before the new one", "python", cfg, "", "Se devuelve a su sitio", apartado()),
            ("... after it", "python", cfg, "", "Se termina una reparación de Python", apartado(nuevo=True)),
            ("... by an older installer", "python", cfg, "", "Se devuelve a su sitio", apartado(sin_paso=True)),
            ("a Mac's Python fetched again", "python", cfg, "python", "Se conservan las bibliotecas", mac(True)),
            ("a Mac's Python not downloaded", "python", cfg, "python", "descargar Python: el archivo no existe", mac(False)),
        ]
        for i, (nombre, danado, contenido, reparar, linea, preparar) in enumerate(c + (None,) * (6 - len(c)) for c in casos):
            with self.subTest(nombre):
                casa, datos = self.copia("r%d" % i)
                antes = {c: (r(datos).read_bytes(), r(datos).stat().st_mtime_ns) for c, r in vigilados.items()}
                escribir(vigilados[danado](datos), contenido)
                extra = (preparar or (lambda *_: None))(datos, casa) or {}
                rc, lineas = instalar(casa, self.base / "espejo local", extra.get("origen", self.origen),
                                      entorno=dict(VARNO_REPARAR=reparar) | extra.get("entorno", {}))
                texto, bien, marcador = "\n".join(lineas), linea.startswith(("Se ", "La ")), datos / "instalado.txt"
                self.assertEqual((rc == 0, marcador.exists() and marcador.read_text()),
                                 (bien, "descargar" not in linea and "1.0.0\n"), texto)
                self.assertIn(linea, texto if bien else lineas[-1])
                self.assertEqual("Origen:" in texto, reparar == "ffmpeg" or "origen" in extra, texto)
                # Nothing set aside or cut short is left, and what is the user's stays theirs.
                self.assertEqual([*datos.glob("python.*"), *sitio(datos).glob("*.dist-info/*.tmp")], [])
                self.assertTrue(all(q.is_file() for q in extra.get("quedan", [])))
                self.assertIn("/INSTALLER,", next(sitio(datos).glob("varno_prueba-*/RECORD")).read_text())
                for c, r in vigilados.items():
                    if c.split()[0] != danado:
                        self.assertEqual((r(datos).read_bytes(), r(datos).stat().st_mtime_ns), antes[c], c)
                    elif marcador.exists() and c == danado == "python":  # made again, it names the folder it was made in
                        self.assertTrue(r(datos).exists())
                    elif bien and c == danado:
                        self.assertEqual(r(datos).read_bytes(), antes[c][0], c)
