#include "placement/colocacion.h"

#include "base/archivos.h"
#include "base/papelera.h"
#include "base/proceso.h"
#include "placement/copia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>
#include <QXmlStreamReader>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

#ifdef Q_OS_MACOS
#include <CoreFoundation/CoreFoundation.h>
#include <QUrl>
#include <dlfcn.h>
#endif

namespace {
const QString nombreFijo = QStringLiteral("VARNO.app");

bool empiezaEnCarpeta(const QString& ruta, const QString& carpeta) {
    QString prefijo = QDir::cleanPath(carpeta);
    if (!prefijo.endsWith(QLatin1Char('/')))
        prefijo += QLatin1Char('/');
    return ruta.startsWith(prefijo);
}

// Removes what lies at `ruta`; a link goes, never what it points to.
bool quitar(const QString& ruta) {
    const QFileInfo i(ruta);
    if (i.isDir() && !i.isSymLink())
        return QDir(ruta).removeRecursively();
    return QFile::remove(ruta);
}

} // namespace

QString rutaOriginal(const QString& ruta) {
    if (!ruta.contains(QLatin1String("/AppTranslocation/")))
        return ruta;
#ifdef Q_OS_MACOS
    // Looked up at run time: the call is not part of the framework's public headers.
    void* seguridad = dlopen("/System/Library/Frameworks/Security.framework/Security", RTLD_LAZY);
    if (!seguridad)
        return ruta;
    using Original = CFURLRef (*)(CFURLRef, CFErrorRef*);
    const auto original =
        reinterpret_cast<Original>(dlsym(seguridad, "SecTranslocateCreateOriginalPathForURL"));
    if (!original)
        return ruta;
    const CFURLRef dada = QUrl::fromLocalFile(ruta).toCFURL();
    const CFURLRef real = original(dada, nullptr);
    CFRelease(dada);
    if (!real)
        return ruta;
    const QString resultado = QUrl::fromCFURL(real).toLocalFile();
    CFRelease(real);
    return resultado.isEmpty() ? ruta : QDir::cleanPath(resultado);
#else
    return ruta;
#endif
}

bool yaColocado(const QString& bundle, const QString& home, const QString& aplicaciones) {
    return empiezaEnCarpeta(bundle, aplicaciones) ||
           empiezaEnCarpeta(bundle, QDir(home).filePath(QStringLiteral("Applications")));
}

std::optional<QString> volumenDe(const QString& fuente, const QString& volumenes) {
    const QString raiz = QDir::cleanPath(volumenes) + QLatin1Char('/');
    if (!fuente.startsWith(raiz))
        return std::nullopt;
    const QString primera = fuente.mid(raiz.size()).section(QLatin1Char('/'), 0, 0);
    if (primera.isEmpty())
        return std::nullopt;
    return raiz + primera;
}

bool esImagenMontada(const QString& volumen, const QString& hdiutilInfo) {
    // Each image's partitions are dictionaries; a mounted one has the key
    // "mount-point", its value the string that follows.
    const QString buscado = QDir::cleanPath(volumen);
    QXmlStreamReader plist(hdiutilInfo);
    QString clave;
    while (!plist.atEnd()) {
        if (plist.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (plist.name() == u"key") {
            clave = plist.readElementText();
            continue;
        }
        if (clave == u"mount-point" && plist.name() == u"string" &&
            QDir::cleanPath(plist.readElementText()) == buscado)
            return true;
        clave.clear();
    }
    return false;
}

bool esImagenMontada(const QString& volumen, const Herramientas& h) {
    // The property list, which the tool's manual gives to programs; its
    // readable listing may change between releases.
    const Corrida info = correr(h.hdiutil, {QStringLiteral("info"), QStringLiteral("-plist")});
    return info.bien() && esImagenMontada(volumen, info.salida);
}

namespace {
bool renombrar(const QString& de, const QString& a) {
    return ::rename(QFile::encodeName(de).constData(), QFile::encodeName(a).constData()) == 0;
}

// A move cut short (a force-quit, a power cut) between setting the older copy
// aside and putting the new one in its place leaves no VARNO.app: the older
// one goes back. A half-made new copy never counts.
void recogerMudanzaCortada(const QString& carpeta) {
    const QString destino = carpeta + QLatin1Char('/') + nombreFijo;
    const QString aparte = carpeta + QStringLiteral("/.VARNO.app-anterior");
    const QString nueva = carpeta + QStringLiteral("/.VARNO.app-nueva");
    if (hayAlgo(nueva))
        quitar(nueva);
    if (hayAlgo(aparte) && !hayAlgo(destino))
        renombrar(aparte, destino);
}

const QString noSeCopio =
    QStringLiteral("No se pudo copiar VARNO a Aplicaciones (%1); sigue abierto desde donde está.");
} // namespace

Resultado<bool> moverAAplicaciones(const Colocacion& c) {
    const QString propia = QDir(c.home).filePath(QStringLiteral("Applications"));
    recogerMudanzaCortada(QDir::cleanPath(c.aplicaciones));
    recogerMudanzaCortada(propia);

    const QString bundle = QDir::cleanPath(QFileInfo(c.bundle).absoluteFilePath());
    if (yaColocado(bundle, c.home, c.aplicaciones) || c.noMover)
        return false;
    // A program started outside a bundle would otherwise copy, and trash, the
    // whole folder its executable happens to lie in.
    if (!bundle.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
        return false;

    const QString fuente = QDir::cleanPath(rutaOriginal(bundle));
    const QString carpeta =
        QFileInfo(c.aplicaciones).isWritable() ? QDir::cleanPath(c.aplicaciones) : propia;
    QDir().mkpath(carpeta);
    if (!QFileInfo(carpeta).isWritable())
        return Resultado<bool>::fallo(
            noSeCopio.arg(QStringLiteral("no deja escribir en ninguna de las dos")));
    const QString destino = carpeta + QLatin1Char('/') + nombreFijo;

    // Reached through another name (a link, a case-insensitive volume), the
    // destination may be the running bundle itself: removing it would lose both.
    // A destination that cannot be looked at (none yet) is not the bundle.
    std::error_code noSeVe;
    if (std::filesystem::equivalent(QFile::encodeName(destino).toStdString(),
                                    QFile::encodeName(fuente).toStdString(), noSeVe))
        return false;
    // Made beside the destination under another name, so that a copy cut short
    // is never taken for VARNO.app, then renamed into place.
    const QString nueva = carpeta + QStringLiteral("/.VARNO.app-nueva");
    if (const std::error_code e = copiarArbol(fuente, nueva)) {
        quitar(nueva);
        return Resultado<bool>::fallo(noSeCopio.arg(motivoDelSistema(e)));
    }
    // An older copy is set aside, not removed, until the new one has started.
    const QString aparte = carpeta + QStringLiteral("/.VARNO.app-anterior");
    const bool habia = hayAlgo(destino);
    const auto deshacer = [&](const QString& motivo) {
        quitar(hayAlgo(nueva) ? nueva : destino);
        if (habia)
            renombrar(aparte, destino);
        return Resultado<bool>::fallo(noSeCopio.arg(motivo));
    };
    if (habia) {
        if (hayAlgo(aparte))
            quitar(aparte);
        if (!renombrar(destino, aparte)) {
            quitar(nueva);
            return Resultado<bool>::fallo(
                noSeCopio.arg(QStringLiteral("no se pudo apartar la copia anterior")));
        }
    }
    if (!renombrar(nueva, destino))
        return deshacer(QStringLiteral("no se pudo poner la copia en su sitio"));

    // Tools shipped inside the bundle would go to the Trash with it; the copy
    // carries the same ones.
    const auto enLaCopia = [&](const QString& herramienta) {
        return empiezaEnCarpeta(herramienta, bundle) ? destino + herramienta.mid(bundle.size())
                                                     : herramienta;
    };
    // Without it the copy may be run from a translocated place again; it still runs.
    correr(enLaCopia(c.herramientas.xattr),
           {QStringLiteral("-dr"), QStringLiteral("com.apple.quarantine"), destino});

    // Only a disk image is ejected: a bundle run from an external or network
    // drive leaves that drive mounted.
    const std::optional<QString> volumen = volumenDe(fuente, c.volumenes);
    const bool imagen = volumen && esImagenMontada(*volumen, c.herramientas);
    QStringList abrir{QStringLiteral("-n"), destino};
    if (imagen)
        abrir << QStringLiteral("--args") << QStringLiteral("--expulsar") << *volumen;
    // The copy starts as a program of the session, with its environment: a
    // Mac's open leaves that to the system, the stand-in elsewhere passes on its own.
    if (!correr(enLaCopia(c.herramientas.open), abrir,
                {.entorno = QProcessEnvironment::systemEnvironment()})
             .bien())
        return deshacer(QStringLiteral("la copia no arrancó"));

    // The new copy runs: only now do the older ones go.
    if (habia)
        quitar(aparte);
    // Where the Trash cannot take it, the old bundle stays where it was.
    if (!volumen)
        aLaPapelera(fuente);
    return true;
}

Resultado<bool> moverAAplicaciones(const Globales& g, bool noMover) {
    Colocacion c;
    c.bundle = g.BUNDLE;
    c.home = g.HOME;
    c.noMover = noMover;
    c.herramientas = g.herramientas;
    return moverAAplicaciones(c);
}

QString urlDeCarpeta(const QString& ruta) {
    QString camino = QDir::cleanPath(ruta);
    if (!camino.endsWith(QLatin1Char('/')))
        camino += QLatin1Char('/');
    // Beyond the unreserved characters, a URL path keeps these as they are.
    return QStringLiteral("file://") +
           QString::fromLatin1(camino.toUtf8().toPercentEncoding("!$&'()*+,;=:@/"));
}

QString entradaDelDock(const QString& bundle) {
    // The entry is XML: an "&" in a folder's name would otherwise break it.
    const QString url = urlDeCarpeta(bundle).toHtmlEscaped();
    return QStringLiteral("<dict><key>tile-data</key><dict><key>file-data</key><dict>"
                          "<key>_CFURLString</key><string>") +
           url +
           QStringLiteral("</string><key>_CFURLStringType</key><integer>15</integer>"
                          "</dict></dict></dict>");
}

bool ponerEnElDock(const QString& bundle, const QString& home, const Herramientas& h,
                   const QString& aplicaciones) {
    // Anywhere else (the disk image, a translocated copy, a folder run with
    // --no-mover) the entry would point at a place that goes away.
    if (!yaColocado(QDir::cleanPath(bundle), home, aplicaciones))
        return false;
    const QString dock = QStringLiteral("com.apple.dock");
    const QString apps = QStringLiteral("persistent-apps");
    // A user who never changed the Dock has no list yet: reading fails, and
    // writing starts one.
    const Corrida leida = correr(h.defaults, {QStringLiteral("read"), dock, apps});
    if (leida.bien() && leida.salida.contains(nombreFijo))
        return true;
    if (!correr(h.defaults, {QStringLiteral("write"), dock, apps, QStringLiteral("-array-add"),
                             entradaDelDock(bundle)})
             .bien())
        return false;
    // The Dock reads its list again when it starts; one that is not running
    // reads it when it does.
    correr(h.killall, {QStringLiteral("Dock")});
    return true;
}

bool ponerEnElDock(const Globales& g) {
    return ponerEnElDock(g.BUNDLE, g.HOME, g.herramientas);
}

void expulsarMasTarde(const QString& volumen, const Herramientas& h,
                      std::chrono::milliseconds retraso, QObject* contexto) {
    QTimer::singleShot(retraso, contexto, [h, volumen] {
        QThreadPool::globalInstance()->start([h, volumen] {
            if (esImagenMontada(volumen, h))
                correr(h.hdiutil, {QStringLiteral("detach"), volumen, QStringLiteral("-quiet")});
        });
    });
}
