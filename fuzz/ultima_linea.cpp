// The telling line of the engine's log: the input is the log, read from a
// file and as text already decoded.
#include "base/texto.h"
#include "comun.h"
#include "engine/correr.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QTemporaryDir& carpeta() {
    static QTemporaryDir d;
    return d;
}

void revisar(const QString& texto, const std::optional<QString>& elegida) {
    // The lines that count, split and trimmed without the product's helpers.
    QStringList cuentan;
    QString actual;
    const auto cerrar = [&] {
        qsizetype a = 0, b = actual.size();
        while (a < b && fuzz::esBlanco(actual[a]))
            ++a;
        while (b > a && fuzz::esBlanco(actual[b - 1]))
            --b;
        const QString l = actual.mid(a, b - a);
        if (!l.isEmpty() && !l.startsWith(QLatin1String("---")))
            cuentan.append(l);
        actual.clear();
    };
    for (QChar c : texto) {
        if (fuzz::esSalto(c))
            cerrar();
        else
            actual.append(c);
    }
    cerrar();

    EXIGIR(elegida.has_value() == !cuentan.isEmpty());
    if (!elegida)
        return;
    // Either a whole line or a line's start cut and ended with "…".
    const QString& e = *elegida;
    const bool cortada = !cuentan.contains(e);
    if (cortada) {
        EXIGIR(e.endsWith(QChar(0x2026)));
        const QString inicio = e.chopped(1);
        bool hallada = false;
        for (const QString& l : cuentan)
            hallada = hallada || (l.startsWith(inicio) && l.size() > inicio.size());
        EXIGIR(hallada);
    }
    // A line with "Error" or "error" wins when there is one.
    bool conError = false;
    for (const QString& l : cuentan)
        conError =
            conError || l.contains(QLatin1String("Error")) || l.contains(QLatin1String("error"));
    if (conError && !cortada)
        EXIGIR(e.contains(QLatin1String("Error")) || e.contains(QLatin1String("error")));
    for (QChar c : e)
        EXIGIR(!fuzz::esSalto(c));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano) {
    const QByteArray bytes = fuzz::bytes(datos, tamano);
    const QString texto = decodificar(bytes);
    const std::optional<QString> elegida = lineaQueCuenta(texto);
    revisar(texto, elegida);

    const QString ruta = carpeta().filePath(QStringLiteral("mesa.log"));
    QFile f(ruta);
    EXIGIR(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXIGIR(f.write(bytes) == bytes.size());
    f.close();
    const std::optional<QString> desdeArchivo = ultimaLinea(ruta);
    if (fuzz::esUtf8(std::string_view(bytes.constData(), bytes.size())))
        EXIGIR(desdeArchivo == elegida);
    else
        EXIGIR(!desdeArchivo.has_value());
    return 0;
}
