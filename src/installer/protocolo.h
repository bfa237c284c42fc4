#pragma once

#include <QDateTime>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// Splits decoded installer output into lines. Each of the seven line-break
// characters ends a line by itself, so "\r\n" yields an empty line between the
// two. Text after the last break waits for the next chunk.
class Encuadre {
public:
    // An unfinished line is kept only up to this many characters: enough to
    // tell a header from a detail and more than the window can ever show.
    static constexpr qsizetype topeResto = 64 * 1024;

    QStringList agregar(QStringView texto);
    const QString& resto() const { return resto_; }
    void reiniciar() { resto_.clear(); }

private:
    QString resto_;
};

// Where the bar and the step stand during a run.
struct Progreso {
    qint64 paso = 0;
    double avance = 0.0;
};

// What one line of output does to the window.
struct EfectoLinea {
    bool ignorada = true; // blank: nothing at all changes
    std::optional<QString> estado;
    std::optional<QString> detalle;
    Progreso progreso;
};

EfectoLinea interpretarLinea(const QString& linea, Progreso actual,
                             const std::array<double, 8>& desde);

// The first line of the installation log.
QString cabeceraRegistro(const QString& version, const QDateTime& cuando);

// The detail text of the failure screen, built on the last thing the script said.
QString detalleDeFallo(const QString& ultimoDetalle);

// The installer's environment: everything inherited, with its own three values.
QProcessEnvironment entornoInstalador(QProcessEnvironment base, const QString& origen,
                                      const QString& version);
