#include "placement/colocacion.h"

#include "engine/correr.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <sys/stat.h>
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

bool copiarEnlace(const QString& desde, const QString& hacia) {
    // The link's own text, so that relative links inside the bundle stay relative.
    QByteArray destino(4096, '\0');
    const ssize_t n = ::readlink(QFile::encodeName(desde).constData(), destino.data(),
                                 static_cast<size_t>(destino.size()));
    if (n < 0 || n >= destino.size())
        return false;
    destino.truncate(n);
    return ::symlink(destino.constData(), QFile::encodeName(hacia).constData()) == 0;
}

void alaPapelera(const QString& ruta) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Without the user's data folder, Qt falls back to the working directory and
    // leaves the bundle in a "files" folder there instead of the Trash.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#endif
    QFile::moveToTrash(ruta);
}

bool copiarDentro(const QFileInfo& i, const QString& hacia) {
    if (i.isSymLink())
        return copiarEnlace(i.filePath(), hacia);
    if (i.isDir())
        return copiarArbol(i.filePath(), hacia);
    if (i.isFile())
        return QFile::copy(i.filePath(), hacia);
    // Sockets and pipes have no place in a bundle, and reading a pipe would block.
    return true;
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

bool mismoArchivo(const QString& a, const QString& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool copiarArbol(const QString& desde, const QString& hacia) {
    const QFileInfo origen(desde);
    if (!origen.isDir() || !QDir().mkdir(hacia))
        return false;
    const QFileInfoList entradas = QDir(desde).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entradas) {
        if (!copiarDentro(e, hacia + QLatin1Char('/') + e.fileName()))
            return false;
    }
    // Set last, so that a read-only folder could still be filled.
    return QFile::setPermissions(hacia, origen.permissions());
}

bool moverAAplicaciones(const Colocacion& c) {
    const QString bundle = QDir::cleanPath(QFileInfo(c.bundle).absoluteFilePath());
    if (yaColocado(bundle, c.home, c.aplicaciones) ||
        c.argumentos.contains(QStringLiteral("--no-mover")))
        return false;
    // A program started outside a bundle would otherwise copy, and trash, the
    // whole folder its executable happens to lie in.
    if (!bundle.endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
        return false;

    const QString fuente = QDir::cleanPath(rutaOriginal(bundle));
    const QString carpeta = QFileInfo(c.aplicaciones).isWritable()
                                ? QDir::cleanPath(c.aplicaciones)
                                : QDir(c.home).filePath(QStringLiteral("Applications"));
    QDir().mkpath(carpeta);
    const QString destino = carpeta + QLatin1Char('/') + nombreFijo;

    // Reached through another name (a link, a case-insensitive volume), the
    // destination may be the running bundle itself: removing it would lose both.
    if (mismoArchivo(destino, fuente))
        return false;
    // An older copy is set aside rather than removed at once: if the copy
    // fails it is put back whole, and one that cannot be removed entirely is
    // never left under the bundle's name as half a bundle.
    const QString aparte = carpeta + QStringLiteral("/.VARNO.app-anterior");
    const auto hay = [](const QString& ruta) {
        const QFileInfo i(ruta);
        return i.exists() || i.isSymLink();
    };
    const bool habia = hay(destino);
    if (habia) {
        if (hay(aparte))
            quitar(aparte);
        if (::rename(QFile::encodeName(destino).constData(),
                     QFile::encodeName(aparte).constData()) != 0)
            return false;
    }
    if (!copiarArbol(fuente, destino)) {
        // Half a bundle in Applications would look installed and fail to start.
        quitar(destino);
        if (habia)
            ::rename(QFile::encodeName(aparte).constData(), QFile::encodeName(destino).constData());
        return false;
    }
    if (habia)
        quitar(aparte);

    // Tools shipped inside the bundle would go to the Trash with it; the copy
    // carries the same ones.
    const auto enLaCopia = [&](const QString& herramienta) {
        return empiezaEnCarpeta(herramienta, bundle) ? destino + herramienta.mid(bundle.size())
                                                     : herramienta;
    };
    correr(enLaCopia(c.herramientas.xattr),
           {QStringLiteral("-dr"), QStringLiteral("com.apple.quarantine"), destino});

    const std::optional<QString> volumen = volumenDe(fuente, c.volumenes);
    if (!fuente.startsWith(QDir::cleanPath(c.volumenes) + QLatin1Char('/')))
        alaPapelera(fuente);

    QStringList abrir{QStringLiteral("-n"), destino};
    if (volumen)
        abrir << QStringLiteral("--args") << QStringLiteral("--expulsar") << *volumen;
    correr(enLaCopia(c.herramientas.open), abrir);
    return true;
}

bool moverAAplicaciones(const Globales& g, const QStringList& argumentos) {
    Colocacion c;
    c.bundle = g.BUNDLE;
    c.home = QDir::homePath();
    c.argumentos = argumentos;
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
    QString url = urlDeCarpeta(bundle);
    // The entry is XML: an "&" in a folder's name would otherwise break it.
    url.replace(QLatin1Char('&'), QLatin1String("&amp;"))
        .replace(QLatin1Char('<'), QLatin1String("&lt;"))
        .replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return QStringLiteral("<dict><key>tile-data</key><dict><key>file-data</key><dict>"
                          "<key>_CFURLString</key><string>") +
           url +
           QStringLiteral("</string><key>_CFURLStringType</key><integer>15</integer>"
                          "</dict></dict></dict>");
}

void ponerEnElDock(const QString& bundle, const Herramientas& h) {
    const QString dock = QStringLiteral("com.apple.dock");
    const QString apps = QStringLiteral("persistent-apps");
    if (correr(h.defaults, {QStringLiteral("read"), dock, apps}).contains(nombreFijo))
        return;
    correr(h.defaults, {QStringLiteral("write"), dock, apps, QStringLiteral("-array-add"),
                        entradaDelDock(bundle)});
    correr(h.killall, {QStringLiteral("Dock")});
}

void ponerEnElDock(const Globales& g) {
    ponerEnElDock(g.BUNDLE, g.herramientas);
}
