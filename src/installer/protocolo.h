#pragma once

#include <QDateTime>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// The complete lines of one chunk of output: spans of the decoded chunk, and
// first, when the chunk finishes a line begun earlier, that line whole.
struct Trozo {
    QString texto;
    std::optional<QString> primera;
    QList<std::pair<qsizetype, qsizetype>> tramos;

    qsizetype cuantas() const { return tramos.size() + (primera ? 1 : 0); }
    QStringView linea(qsizetype i) const;
};

// Splits decoded installer output into lines. Each of the seven line-break
// characters ends a line by itself, so "\r\n" yields an empty line between the
// two. Text after the last break waits for the next chunk.
class Encuadre {
public:
    // An unfinished line is kept only up to this many characters: enough to
    // tell a header from a detail and more than the window can ever show.
    static constexpr qsizetype topeResto = 64 * 1024;

    Trozo trocear(QString texto);
    const QString& resto() const { return resto_; }

private:
    QString resto_;
};

// Where the bar stands when each step begins (index 1 to 7); the last step
// ends short of full, which only the end of the run fills.
inline constexpr std::array<double, 8> avanceAlEmpezar = {0.0,  0.02, 0.08, 0.16,
                                                          0.19, 0.24, 0.88, 0.96};

// Where the bar and the step stand during a run.
struct Progreso {
    qint64 paso = 0;
    double avance = 0.0;
};

// What one line of output does to the window, read without copying the line:
// a header's step and title, or the trimmed detail text before it is cut for
// the window.
struct LecturaLinea {
    enum Tipo { blanca, cabecera, detalle } tipo = blanca;
    int paso = 0;
    QStringView titulo;
    QStringView texto;
    Progreso progreso;
};
LecturaLinea leerLinea(QStringView linea, Progreso actual);

// The texts the window shows for a header and for a detail.
QString textoDeCabecera(int paso, QStringView titulo);
QString textoDeDetalle(QStringView texto);

// The first line of the installation log.
QString cabeceraRegistro(const QString& version, const QDateTime& cuando);

// The detail text of the failure screen, built on the last thing the script said.
QString detalleDeFallo(const QString& ultimoDetalle);

// The installer's environment: everything inherited but what bash would act on
// before the script's first line, with its own values; `reparar` is what a
// repair puts right (VARNO_REPARAR), none for an installation.
QProcessEnvironment entornoInstalador(QProcessEnvironment base, const QString& origen,
                                      const QString& version, const QString& reparar = {});
