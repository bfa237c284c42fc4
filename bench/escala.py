"""The first installation and maintenance of a runtime of real size (the generator's "grande": about 2 GB and
100 000 files), each figure beside its floor measured in the same run:
  - step 5's local work (offline mirror) against unzipping the same wheels plus compileall with one process per core;
  - --verificar against xargs -P<cores> openssl sha256 over the same files, page cache warm and cold, and its peak
    memory;
  - the maintenance screen's description of the runtime, and --eliminar-motor.
Usage: python3 bench/escala.py [build folder]   (the folder needs -DVARNO_BENCH=ON; the wheels are kept in
build/escala/espejo and made once)"""

import os, re, shutil, statistics, subprocess, sys, tempfile, time
from pathlib import Path

RAIZ = Path(__file__).resolve().parents[1]
BUILD = Path(sys.argv[1] if len(sys.argv) > 1 else RAIZ / "build-bench").resolve()
NUCLEOS = os.cpu_count() or 1


def reloj(orden, **kw):
    antes = time.monotonic()
    subprocess.run(orden, check=True, stdout=subprocess.DEVNULL, **kw)
    return time.monotonic() - antes


def enfriar(*raices):
    """Drops the files under each root from the page cache, as far as a user can: each file's cached pages."""
    for raiz in raices:
        for carpeta, _, archivos in os.walk(raiz):
            for a in archivos:
                try:
                    fd = os.open(os.path.join(carpeta, a), os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK)
                except OSError:
                    continue
                os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
                os.close(fd)


def main():
    espejo = BUILD / "escala/espejo"
    if not (espejo / "requisitos.txt").is_file():
        print("Generating the wheels (grande)…", flush=True)
        shutil.rmtree(espejo, ignore_errors=True)
        subprocess.run([sys.executable, RAIZ / "scripts/generar_ruedas.py", "grande", espejo], check=True)
    tmp = Path(tempfile.mkdtemp(prefix="varno-escala-", dir=BUILD / "escala"))
    try:
        medir(espejo, tmp)
    finally:
        shutil.rmtree(tmp)


def medir(espejo, tmp):
    bundle = tmp / "VARNO.app"
    shutil.copytree(BUILD / "VARNO.app", bundle, symlinks=True)
    paquete = bundle / "Contents/Resources/paquete"
    shutil.copy(espejo / "requisitos.txt", paquete / "requisitos.txt")
    casa = tmp / "casa"
    datos = casa / "Library/Application Support/VARNO"
    (casa / "run").mkdir(parents=True, mode=0o700)
    entorno = dict(HOME=str(casa), PATH="/usr/bin:/bin:/usr/sbin:/sbin", LANG="C.UTF-8", VARNO_ESPEJO=str(espejo),
                   XDG_RUNTIME_DIR=str(casa / "run"), VARNO_ORIGEN=str(paquete),
                   VARNO_VERSION=(bundle / "Contents/Resources/version.txt").read_text().strip())

    # Step 5, from its header to the next one's, as the installer prints them.
    instalador = subprocess.Popen(["bash", RAIZ / "paquete/instalar_mac.sh"], env=entorno, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    marcas, silencio, ultima = {}, 0.0, None
    for linea in instalador.stdout:
        ahora = time.monotonic()
        if (m := re.match(r"== (\d)/7", linea)):
            marcas[int(m[1])] = ahora
        for parte in ("Instalando el motor", "Compilando las bibliotecas"):
            if linea.startswith(parte):
                marcas.setdefault(parte, ahora)
        if 5 in marcas and 6 not in marcas and ultima is not None:
            silencio = max(silencio, ahora - ultima)
        ultima = ahora
    if instalador.wait():
        sys.exit("the installation failed: see %s" % (datos / "instalacion.log"))
    paso5 = marcas[6] - marcas[5]
    partes = (marcas["Instalando el motor"] - marcas[5], marcas["Compilando las bibliotecas"] - marcas[5],
              marcas[6] - marcas["Compilando las bibliotecas"])

    py = datos / "python/bin/python"
    suelo = tmp / "suelo"
    ruedas = sorted((espejo / "ruedas").glob("*.whl"))
    descomprimir = sum(reloj(["unzip", "-q", "-o", r, "-d", suelo]) for r in ruedas)
    cuantos = sum(1 for _ in suelo.rglob("*") if _.is_file())
    compilar = reloj([py, "-I", "-m", "compileall", "-q", "-j0", suelo])
    piso = descomprimir + compilar
    print("Step 5, local work (%d files): %.1f s (the libraries %.1f s, then the engine, then compiling %.1f s); "
          "floor: unzip %.1f s + compileall -j0 (%d processes) %.1f s = %.1f s: %.2f× (target ≤ 1.3×); "
          "longest silence %.1f s (target ≤ 1 s)" % (cuantos, paso5, partes[0], partes[2], descomprimir, NUCLEOS,
                                                     compilar, piso, paso5 / piso, silencio), flush=True)
    shutil.rmtree(suelo)

    # Verification against openssl over the files it hashes (no compiled file is listed).
    varno = [bundle / "Contents/MacOS/VARNO"]
    archivos = [str(p) for raiz in (datos / "python", datos / "bin") for p in raiz.rglob("*")
                if p.is_file() and not p.is_symlink() and p.suffix != ".pyc"]
    lista = "\0".join(archivos).encode()
    openssl = lambda: reloj(["xargs", "-0", "-P%d" % NUCLEOS, "-n", "64", "openssl", "sha256"], input=lista)

    def verificar():
        antes = time.monotonic()
        r = subprocess.run(["/usr/bin/time", "-f", "%M", *varno, "--verificar"], env=entorno,
                           capture_output=True, text=True)
        if r.returncode:
            sys.exit("the runtime did not verify:\n" + r.stdout)
        return time.monotonic() - antes, int(r.stderr.strip().splitlines()[-1]) / 1024

    verificar()
    openssl()
    caliente = [verificar() for _ in range(3)]
    suyo = statistics.median(openssl() for _ in range(3))
    nuestro, pico = statistics.median(t for t, _ in caliente), max(m for _, m in caliente)
    enfriar(datos)
    frio, _ = verificar()
    enfriar(datos)
    suyo_frio = openssl()
    bytes_ = sum(os.path.getsize(a) for a in archivos)
    print("Verifying %d files, %.2f GB, warm: %.2f s; xargs -P%d openssl sha256 %.2f s: %.2f× (target ≤ 1.2×); "
          "peak memory %.0f MB (target < 150 MB)" % (len(archivos), bytes_ / 1e9, nuestro, NUCLEOS, suyo,
                                                     nuestro / suyo, pico))
    print("Verifying, cold page cache: %.2f s; openssl %.2f s: %.2f×" % (frio, suyo_frio, frio / suyo_frio),
          flush=True)

    r = subprocess.run([BUILD / "bench/bench_describir", casa, "3"], capture_output=True, text=True, check=True)
    describe, mide, bibliotecas, tamano = r.stdout.split()
    du = statistics.median(reloj(["du", "-s", datos]) for _ in range(3))
    print("Maintenance screen's description (%s libraries, %.2f GB): %.2f s, of which the size %.2f s; du -s %.2f s "
          "(target < 2 s)" % (bibliotecas, int(tamano) / 1e9, float(describe), float(mide), du))
    todos = sum(len(a) for _, _, a in os.walk(datos))
    quitar = reloj([*varno, "--eliminar-motor"], env=entorno)
    print("Removal to the Trash (%d files): %.2f s (target < 2 s)" % (todos, quitar), flush=True)


if __name__ == "__main__":
    main()
