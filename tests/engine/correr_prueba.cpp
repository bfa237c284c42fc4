#include "comun/comun.h"
#include "engine/correr.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Correr, DevuelveLaSalidaEstandarTalCual) {
    const std::tuple<QString, QStringList, QString> casos[] = {
        {"/bin/echo", {"a b", "$HOME", "*"}, "a b $HOME *\n"}, // no shell in between
        {"/bin/sh", {"-c", "echo fallo >&2; exit 3"}, ""},     // standard error is dropped
        {"/usr/bin/printf", {"a\\377b\\n"}, "a\uFFFDb\n"},
        {"/no/existe/herramienta", {}, ""},
        {"/etc/hostname", {}, ""},
        {"echo", {"x"}, ""}, // no PATH lookup
    };
    for (const auto& [programa, argumentos, esperado] : casos)
        EXPECT_EQ(correr(programa, argumentos), esperado) << programa.toStdString();

    // Far more than a pipe holds: the tool would block if the output were not drained.
    const QString mucho = correr("/bin/sh", {"-c", "head -c 4000000 /dev/zero | tr '\\0' x"});
    EXPECT_EQ(mucho.size(), 4000000);
}

TEST(UltimaLinea, EligeLaLineaQueExplica) {
    const std::pair<QByteArray, std::optional<QString>> casos[] = {
        {"uno\ndos\ntres\n", "tres"},
        {"a\nValueError: x\nb\nc\n", "ValueError: x"},
        {"Error uno\nmedio\nerror dos\nfin\n", "error dos"},
        {"ERROR grave\nfin\n", "fin"},
        {"real\n---\n--- fin ---\n", "real"},
        {"x\n \t  Error: puerto ocupado  \n", "Error: puerto ocupado"},
        {"a\r\nb\rc\r\n", "c"},
        {"a\u2028b\u0085c", "c"},
        {"Error " + QByteArray(154, 'x') + "\nfin\n", "Error " + QString(154, 'x')},
        {"Error " + QByteArray(155, 'x') + "\nfin\n", "Error " + QString(154, 'x') + QChar(0x2026)},
        {" \n\t\n\n", std::nullopt},
        {"", std::nullopt},
        {"Error\xff\n", std::nullopt},
    };
    QTemporaryDir d;
    const QString ruta = d.filePath("mesa.log");
    for (const auto& [log, esperada] : casos) {
        pruebas::escribir(ruta, log);
        EXPECT_EQ(ultimaLinea(ruta), esperada) << log.left(40).data();
    }
    EXPECT_EQ(ultimaLinea("/no/existe/mesa.log"), std::nullopt);
}

} // namespace
