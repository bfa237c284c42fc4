#include "comun/comun.h"
#include "engine/correr.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Correr, DevuelveLaSalidaEstandarTalCual) {
    struct Caso {
        const char* nombre;
        QString programa;
        QStringList argumentos;
        QString esperado;
    };
    const Caso casos[] = {
        {"argumentos sin shell", "/bin/echo", {"a b", "$HOME", "*"}, "a b $HOME *\n"},
        {"solo stderr da vacío", "/bin/sh", {"-c", "echo fallo >&2; exit 3"}, ""},
        {"UTF-8 inválido se reemplaza", "/usr/bin/printf", {"a\\377b\\n"}, "a\uFFFDb\n"},
        {"programa inexistente", "/no/existe/herramienta", {}, ""},
        {"no ejecutable", "/etc/hostname", {}, ""},
        {"ruta relativa no se busca en PATH", "echo", {"x"}, ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        EXPECT_EQ(correr(c.programa, c.argumentos), c.esperado);
    }
}

TEST(Correr, MasSalidaQueLaQueCabeEnUnaTuberia) {
    // 4 MB: far more than a pipe buffer; the tool would block if not drained.
    const QString salida =
        correr("/bin/sh", {"-c", "head -c 4000000 /dev/zero | tr '\\0' x; echo fin"});
    EXPECT_EQ(salida.size(), 4000000 + 4);
    EXPECT_TRUE(salida.endsWith("fin\n"));
}

TEST(UltimaLinea, EligeLaLineaQueExplica) {
    struct Caso {
        const char* nombre;
        QByteArray log;
        std::optional<QString> esperada;
    };
    const Caso casos[] = {
        {"la última sin errores", "uno\ndos\ntres\n", "tres"},
        {"un Error arriba gana a las siguientes", "a\nTraceback\nValueError: x\nb\nc\n",
         "ValueError: x"},
        {"de dos con error, la más tardía", "Error uno\nmedio\nerror dos\nfin\n", "error dos"},
        {"ERROR en mayúsculas no cuenta", "ERROR grave\nfin\n", "fin"},
        {"separadores --- no cuentan", "real\n---\n--- fin ---\n", "real"},
        {"sangría fuera", "x\n \t  Error: puerto ocupado  \n", "Error: puerto ocupado"},
        {"CRLF y CR sueltos", "a\r\nb\rc\r\n", "c"},
        {"separadores Unicode", "a\u2028b\u0085c", "c"},
        {"solo blancos", " \n\t\n\n", std::nullopt},
        {"vacío", "", std::nullopt},
        {"UTF-8 inválido", "Error\xff\n", std::nullopt},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir d;
        pruebas::escribir(d.filePath("mesa.log"), c.log);
        EXPECT_EQ(ultimaLinea(d.filePath("mesa.log")), c.esperada);
    }
    EXPECT_EQ(ultimaLinea("/no/existe/mesa.log"), std::nullopt);
}

TEST(UltimaLinea, CortaA160Caracteres) {
    QTemporaryDir d;
    const QString ruta = d.filePath("mesa.log");
    pruebas::escribir(ruta, "Error " + QByteArray(154, 'x') + "\nfin\n");
    EXPECT_EQ(ultimaLinea(ruta)->size(), 160);
    pruebas::escribir(ruta, "Error " + QByteArray(155, 'x') + "\nfin\n");
    EXPECT_EQ(*ultimaLinea(ruta), "Error " + QString(154, 'x') + QChar(0x2026));
}

} // namespace
