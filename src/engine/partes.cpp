#include "engine/partes.h"

#include "base/archivos.h"
#include "base/texto.h"

#include <QDir>
#include <QFileInfo>

namespace partes {

const QStringList& nombres() {
    // Each file the installer writes whole is first its ".parcial", then renamed.
    static const QStringList n = {marca,
                                  marca + QStringLiteral(".parcial"),
                                  python,
                                  QStringLiteral("python.anterior"), // a repair of Python cut short
                                  ffmpeg.section(u'/', 0, 0),        // bin
                                  manifiesto,
                                  manifiesto + QStringLiteral(".parcial"),
                                  QStringLiteral(".pasos"),    // the steps done
                                  QStringLiteral("descargas"), // downloads, also unfinished
                                  QStringLiteral("app.viejo")};
    return n;
}

bool esParte(const QString& nombre) {
    return nombres().contains(nombre) || nombre.startsWith(QStringLiteral(".tmp."));
}

QStringList presentes(const Globales& g) {
    const QDir datos(g.DATOS);
    QStringList p = nombres();
    p += datos.entryList({QStringLiteral(".tmp.*")}, QDir::AllEntries | QDir::Hidden | QDir::System,
                         QDir::Name);
    p.removeIf([&](const QString& n) { return !hayAlgo(datos.filePath(n)); });
    return p;
}

} // namespace partes

EstadoDelMotor estadoDelMotor(const Globales& g) {
    const QString marca = QDir(g.DATOS).filePath(partes::marca);
    const QFileInfo python(g.PYTHON);
    if (!python.isFile() || !python.isExecutable() || !QFileInfo::exists(marca))
        return python.exists() || QFileInfo::exists(marca) ? EstadoDelMotor::restos
                                                           : EstadoDelMotor::ninguno;
    const auto version = leerUtf8(marca);
    return version && version->trimmed() == g.VERSION ? EstadoDelMotor::instalado
                                                      : EstadoDelMotor::anterior;
}
