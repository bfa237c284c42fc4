"""Random kills: an installation, an update, a repair and a removal, stopped at a random moment by SIGKILL to
VARNO's group or to the installer's (which leads its own), by SIGTERM as closing the window sends it, or by a full
disk. Then the operation runs again and ends well, the check is clean, nothing is left behind or fetched twice, and
the user's work and logs are as they were. VARNO_MATAR_SEMILLA replays a run, VARNO_MATAR_ENSAYOS lengthens it."""

import hashlib, os, random, re, shutil, signal, subprocess, sys, tempfile, time, unittest
from pathlib import Path

from comun import BASH, BUNDLE, construir_espejo, copiar_paquete, datos_de, entorno_de, rueda, servir, sitio, temporal

SEMILLA = int(os.environ.get("VARNO_MATAR_SEMILLA") or random.randrange(1 << 32))
ENSAYOS = int(os.environ.get("VARNO_MATAR_ENSAYOS") or 14)
MODOS = {"instalacion": ["kill instalador", "cerrar ventana", "disco lleno"],  # the installer alone
         "actualizacion": ["kill varno", "kill instalador", "cerrar ventana", "disco lleno"],  # VARNO's window
         "reparacion": ["kill varno", "kill instalador", "cerrar ventana", "disco lleno"],
         "eliminacion": ["kill varno", "term varno", "disco lleno"]}
VIEJAS, NUEVAS = ["varno_uno==1.0", "varno_dos==0.9"], ["varno_uno==1.0", "varno_dos==1.0", "varno_tres==1.0"]
RESTOS = re.compile(r".*\.parcial|\.tmp\..*|python\.anterior|Motor de VARNO|RECORD.+|.*\.nuevo")
INTERRUMPIDA = "Instalación interrumpida.\n"
SUYOS = ["app/trabajo.txt", "mesa.log", "motor-salida.log"]


def procesos(casa):
    """The live processes run with this HOME (a zombie has no environment left): each one's group and command."""
    vivos, leer = {}, lambda p, que: Path("/proc", p, que).read_bytes()
    for p in filter(str.isdigit, os.listdir("/proc")):
        try:
            if ("\0HOME=%s\0" % casa).encode() in b"\0" + leer(p, "environ"):
                orden = " ".join(os.path.basename(a) for a in leer(p, "cmdline").decode().split("\0")[:4])
                vivos[int(p)] = int(leer(p, "stat").rsplit(b")", 1)[1].split()[2]), orden
        except OSError:
            pass
    return vivos


class Matar(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.base = b = temporal(cls.enterClassContext)
        espejo, listas = construir_espejo(b / "espejo"), {}
        for libreria in set(VIEJAS + NUEVAS):
            hecha = rueda(*libreria.split("=="), modulos=100)
            (espejo / "ruedas" / ("%s-%s-py3-none-any.whl" % tuple(libreria.split("==")))).write_bytes(hecha)
            listas[libreria] = "%s --hash=sha256:%s\n" % (libreria, hashlib.sha256(hecha).hexdigest())
        # A bundle of its own, whose lists a repair reads; the update comes from an older list of libraries.
        shutil.copytree(BUNDLE, b / "VARNO.app", symlinks=True)
        cls.paquete, cls.viejo = (copiar_paquete(b / ruta, "".join(listas[l] for l in libs)) for ruta, libs in
                                  (("VARNO.app/Contents/Resources/paquete", NUEVAS), ("viejo", VIEJAS)))
        cls.version = (BUNDLE / "Contents/Resources/version.txt").read_text().strip()
        cls.servidor = servir(espejo)  # ffmpeg comes in about a second, so that a kill can land in its download
        # Always the same HOME: the commands pip writes name the folder they were made in.
        cls.casa, cls.cwd, cls.tiempo = b / "casa", b / "cwd", {}
        cls.cwd.mkdir()
        cls.lleno = not subprocess.run(["mount", "-t", "tmpfs", "tmpfs", cls.cwd], capture_output=True).returncode
        cls.lleno = cls.lleno and not subprocess.run(["umount", cls.cwd]).returncode
        if not cls.lleno:
            print("Skipped: the disk-full trials, as no file system can be mounted here (unshare -rm).")
        # Each operation once unkilled, which makes the states the others start from and gives their length.
        for operacion, estado, guardar in [("instalacion", "viejo", "s-viejo"), ("actualizacion", "s-viejo", "s-nuevo"),
                                           ("eliminacion", "s-nuevo", None)]:
            shutil.rmtree(cls.casa, ignore_errors=True)
            cls.preparar(operacion, estado)
            inicio, (rc, salida) = time.monotonic(), cls.correr(operacion, estado)
            cls.tiempo[operacion] = time.monotonic() - inicio
            assert rc == 0, salida
            for p in procesos(cls.casa):  # the engine an update opens
                os.kill(p, signal.SIGKILL)
            guardar and shutil.copytree(cls.casa, b / guardar, symlinks=True)
        cls.tiempo["reparacion"] = cls.tiempo["instalacion"]  # it places Python, ffmpeg and a library again
        print("Unkilled: " + ", ".join("%s %.1f s" % t for t in cls.tiempo.items()), flush=True)

    @classmethod
    def preparar(cls, operacion, estado):
        datos = datos_de(cls.casa)
        if estado.startswith("s-"):
            shutil.copytree(cls.base / estado, cls.casa, symlinks=True, dirs_exist_ok=True)
        if operacion == "reparacion":  # a library's file, the interpreter and ffmpeg damaged
            (sitio(datos) / "varno_uno/m0.py").write_text("")
            (datos / "python/pyvenv.cfg").unlink()
            (datos / "bin/ffmpeg").write_text("#!/bin/sh\n")
        for carpeta in ("run", "tmp", datos / "app"):
            (cls.casa / carpeta).mkdir(mode=0o700, parents=True, exist_ok=True)
        for n in SUYOS:
            (datos / n).write_bytes(os.urandom(3000))

    @classmethod
    def lanzar(cls, operacion, estado="", *opciones):
        """An operation, leading its own group as VARNO and the installer do; its output goes to a file."""
        opciones = {"actualizacion": ["--no-mover"], "reparacion": ["--reparar"],
                    "eliminacion": ["--eliminar-motor"]}.get(operacion, opciones)
        origen = (cls.viejo, "0.9") if estado == "viejo" else (cls.paquete, cls.version)
        env = entorno_de(cls.casa, cls.servidor.url, *origen) | dict(
            QT_QPA_PLATFORM="offscreen", TMPDIR=str(cls.casa / "tmp"), XDG_RUNTIME_DIR=str(cls.casa / "run"))
        orden = [cls.base / "VARNO.app/Contents/MacOS/VARNO", *opciones] if opciones else [BASH, cls.paquete /
                                                                                         "instalar_mac.sh"]
        p = subprocess.Popen(orden, env=env, cwd=cls.cwd, stdin=subprocess.DEVNULL, start_new_session=True,
                             stdout=(salida := tempfile.TemporaryFile()), stderr=subprocess.STDOUT)
        p.salida = salida
        return p

    @classmethod
    def correr(cls, *operacion):
        with (p := cls.lanzar(*operacion)).salida:
            p.wait(timeout=300)
            p.salida.seek(0)
            return p.returncode, p.salida.read().decode("utf-8", "replace")

    def test_killed_anywhere_the_next_run_recovers_and_nothing_is_lost(self):
        azar, inicio, fallos = random.Random(SEMILLA), time.monotonic(), []
        tipos = [(o, m) for o in MODOS for m in MODOS[o] if self.lleno or m != "disco lleno"]
        print("VARNO_MATAR_SEMILLA=%d VARNO_MATAR_ENSAYOS=%d" % (SEMILLA, ENSAYOS), flush=True)
        for i in range(ENSAYOS):
            ronda = azar.sample(tipos, len(tipos)) if i % len(tipos) == 0 else ronda  # each kind once a round
            operacion, modo = ronda[i % len(tipos)]
            cuando = azar.uniform(0, self.tiempo[operacion])
            try:
                mal = self.ensayo(operacion, modo, cuando)
            except subprocess.TimeoutExpired as e:
                mal = ["%s hung" % e.cmd]
            print("trial %d: %s, %s at %.2f s: %s" % (i, operacion, modo, cuando, "; ".join(mal) or "recovered"),
                  flush=True)
            fallos += ["trial %d: %s" % (i, mal)] if mal else []
        print("Random kills: %d trials, %d recovered, %.0f s (VARNO_MATAR_SEMILLA=%d)" % (
            ENSAYOS, ENSAYOS - len(fallos), time.monotonic() - inicio, SEMILLA), flush=True)
        self.assertEqual(fallos, [])

    def ensayo(self, operacion, modo, cuando):
        """One trial: what was wrong after it."""
        estado = {"instalacion": "", "actualizacion": "s-viejo"}.get(operacion, "s-nuevo")
        datos, mal = datos_de(self.casa), []
        shutil.rmtree(self.casa, ignore_errors=True)
        self.casa.mkdir()
        if modo == "disco lleno":
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=160m", "tmpfs", self.casa], check=True)
        try:
            self.preparar(operacion, estado)
            suyos, pedidos = {n: (datos / n).read_bytes() for n in SUYOS}, self.servidor.pedidos
            del pedidos[:]
            with (proceso := self.lanzar(operacion, estado)).salida:
                time.sleep(cuando)
                guardados = list(pedidos)  # on a full disk, only what came before it could be kept
                self.golpe(modo, proceso)
                self.esperar(proceso)
                # The installer's last line says why it stopped: a signal, or a full disk whatever the step.
                proceso.salida.seek(0)
                dicho = proceso.salida.read().decode("utf-8", "replace") if operacion == "instalacion" else ""
                mal += ["stopped without saying so"] * (proceso.returncode == 143 and not dicho.endswith(INTERRUMPIDA))
                mal += ["a full disk not said"] * (modo == "disco lleno" and proceso.returncode == 1 and dicho != "" and
                                                   not dicho.endswith(": el disco está lleno.\n"))
            antes, pedidos[:] = set(guardados if modo == "disco lleno" else pedidos), []
            if operacion == "eliminacion":  # the next start puts back a removal cut short
                self.correr("", "", "--verificar")
            for opciones in [("--reparar",) if operacion == "reparacion" else (), ("--verificar",)]:
                rc, salida = self.correr("", "", *opciones)  # the operation again, as the user does, then the check
                mal += ["%s ended %d: %s" % (opciones or "the next run", rc, salida.splitlines()[-3:])] * (rc != 0)
            for nombre in NUEVAS:  # each library whole: the command pip writes for it, and all its modules
                orden = datos / "python/bin" / nombre.split("==")[0]
                carpeta = next((datos / "python/lib").glob("python3*/site-packages/" + orden.name), datos)
                if len(list(carpeta.glob("m*.py"))) != 100 or not orden.is_file() or subprocess.run(
                        [orden], capture_output=True, text=True, timeout=60).stdout != nombre.replace("==", " ") + "\n":
                    mal.append("%s is not whole" % nombre)
            for _ in range(20):  # a moment for what ends by itself (a progress loop's sleep); the engine may stay
                if not (vivos := [o for _, o in procesos(self.casa).values() if o != "python -I -m motor"]):
                    break
                time.sleep(0.1)
            mal += ["still running: %s" % vivos] * bool(vivos)
            restos = [str(r.relative_to(self.casa)) for r in datos.rglob("*") if RESTOS.fullmatch(r.name)]
            restos += os.listdir(self.cwd) + os.listdir(self.casa / "tmp")
            mal += ["left behind: %s" % restos] * bool(restos)
            otra_vez = {p for p in antes & set(pedidos) if "." in p.rsplit("/", 1)[-1]}  # files, not listings
            mal += ["fetched again: %s" % otra_vez] * (len(otra_vez) > 1 and operacion != "eliminacion")
            cambiados = [n for n, b in suyos.items()  # an engine opened adds to its logs, or starts mesa.log anew
                         if not any(r.is_file() and r.read_bytes().startswith(b) for r in datos.glob(n + "*"))]
            return mal + ["the user's files changed: %s" % cambiados] * bool(cambiados)
        finally:
            for p in procesos(self.casa):
                os.kill(p, signal.SIGKILL)
            if modo == "disco lleno":
                subprocess.run(["umount", "-l", self.casa], check=True)

    def esperar(self, proceso):
        """Until the operation ends; a window left open on a failure is closed, as its user would."""
        while proceso.poll() is None and any("instalar_mac.sh" in o for _, o in procesos(self.casa).values()):
            time.sleep(0.1)
        try:
            proceso.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(proceso.pid, signal.SIGTERM)
            proceso.wait(timeout=60)

    def golpe(self, modo, proceso):
        """Stops the operation as `modo` says; with no installer running (yet, or any more), VARNO's group."""
        grupo = ([p for p, (g, orden) in procesos(self.casa).items()
                  if g == p and "instalar_mac.sh" in orden and "varno" not in modo] or [proceso.pid])[0]
        try:
            if modo == "disco lleno":
                subprocess.run(["dd", "if=/dev/zero", "of=%s/relleno" % self.casa, "bs=64K"], capture_output=True)
                self.esperar(proceso)
                return (self.casa / "relleno").unlink()
            os.killpg(grupo, signal.SIGTERM if "term" in modo or "ventana" in modo else signal.SIGKILL)
            # Closing the window gives the installer's group ten seconds to end, then kills what is left.
            for _ in range(100 if "ventana" in modo else 0):
                if grupo not in [g for g, _ in procesos(self.casa).values()]:
                    return
                time.sleep(0.1)
            if "ventana" in modo:
                os.killpg(grupo, signal.SIGKILL)
        except ProcessLookupError:
            pass


if __name__ == "__main__":
    # A mount namespace of its own, where a small file system can be mounted and filled without privileges.
    if "VARNO_MATAR_DENTRO" not in os.environ and subprocess.run(["unshare", "-rm", "true"]).returncode == 0:
        os.execvpe("unshare", ["unshare", "-rm", sys.executable, *sys.argv], os.environ | dict(VARNO_MATAR_DENTRO="1"))
    unittest.main(verbosity=2)
