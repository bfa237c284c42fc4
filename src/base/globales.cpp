#include "base/globales.h"

#include "base/texto.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

Herramientas herramientasDelSistema([[maybe_unused]] const QString& recursos) {
    Herramientas h;
    h.curl = QStringLiteral("/usr/bin/curl");
    h.bash = QStringLiteral("/bin/bash");
#ifdef Q_OS_MACOS
    h.xattr = QStringLiteral("/usr/bin/xattr");
    h.open = QStringLiteral("/usr/bin/open");
    h.defaults = QStringLiteral("/usr/bin/defaults");
    h.killall = QStringLiteral("/usr/bin/killall");
    h.hdiutil = QStringLiteral("/usr/bin/hdiutil");
#else
    const QString p = QDir(recursos).absoluteFilePath(QStringLiteral("plataforma"));
    h.xattr = p + QStringLiteral("/xattr");
    h.open = p + QStringLiteral("/open");
    h.defaults = p + QStringLiteral("/defaults");
    h.killall = p + QStringLiteral("/killall");
    h.hdiutil = p + QStringLiteral("/hdiutil");
#endif
    return h;
}

std::optional<QString> bundleDe(const QString& ejecutable) {
    // Worked out on the path alone: the bundle need not exist to be named.
    static const QRegularExpression forma(QStringLiteral(R"(\A(/.*\.app)/Contents/MacOS/[^/]+\z)"));
    const QRegularExpressionMatch m =
        forma.match(QDir::cleanPath(QFileInfo(ejecutable).absoluteFilePath()));
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1);
}

std::optional<QString> recursosDe(const QString& ejecutable) {
    const auto b = bundleDe(ejecutable);
    if (!b)
        return std::nullopt;
    return *b + QStringLiteral("/Contents/Resources");
}

QString leerVersion(const QString& recursos) {
    const auto texto = leerUtf8(QDir(recursos).filePath(QStringLiteral("version.txt")));
    return texto.value_or(QStringLiteral("beta")).trimmed();
}

Globales calcularGlobales(const QString& home, const std::optional<QString>& recursos,
                          const QString& bundle, const QString& ejecutable) {
    Globales g;
    g.HOME = home;
    g.DATOS = QDir(home).filePath(QStringLiteral("Library/Application Support/VARNO"));
    g.RECURSOS = recursos.value_or(QDir::currentPath());
    g.VERSION = leerVersion(g.RECURSOS);
    g.PYTHON = g.DATOS + QStringLiteral("/python/bin/python");
    g.REGISTRO = g.DATOS + QStringLiteral("/instalacion.log");
    g.MESA_LOG = g.DATOS + QStringLiteral("/mesa.log");
    g.BUNDLE = bundle;
    g.EJECUTABLE = ejecutable;
    g.herramientas = herramientasDelSistema(g.RECURSOS);
    return g;
}
