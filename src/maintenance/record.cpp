#include "maintenance/record.h"

#include <algorithm>

namespace {

// One CSV row as Python's csv module writes it: fields between commas, a
// quoted field may hold commas, line breaks and "" for a quote. Anything
// else (a quote inside an unquoted field, text after a closing quote, a
// quote left open) makes the row unreadable.
struct Fila {
    QList<QByteArray> campos;
    bool bien = true;
    qsizetype fin = 0; // where the next row starts
    int saltos = 0;    // line breaks the row took up, its own end included
};

Fila leerFila(QByteArrayView t, qsizetype i) {
    Fila f;
    QByteArray campo;
    bool citado = false, cerrado = false;
    const auto terminarCampo = [&] {
        f.campos.append(campo);
        campo.clear();
        citado = cerrado = false;
    };
    while (i < t.size()) {
        const char c = t[i++];
        if (citado && !cerrado) {
            if (c == '"' && i < t.size() && t[i] == '"') {
                campo.append('"');
                ++i;
            } else if (c == '"') {
                cerrado = true;
            } else {
                // A quote that never closes must not make each line after it
                // read the rest of the file.
                if (c == '\n' && ++f.saltos >= LINEAS_POR_FILA) {
                    f.bien = false;
                    break;
                }
                campo.append(c);
            }
            continue;
        }
        if (c == ',') {
            terminarCampo();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i < t.size() && t[i] == '\n')
                ++i;
            ++f.saltos;
            terminarCampo();
            f.fin = i;
            return f;
        } else if (c == '"' && campo.isEmpty() && !citado) {
            citado = true;
        } else if (cerrado || c == '"') {
            f.bien = false;
            campo.append(c);
        } else {
            campo.append(c);
        }
    }
    // A quote still open at the end of the file.
    if (citado && !cerrado)
        f.bien = false;
    terminarCampo();
    f.fin = i;
    return f;
}

// The 32 bytes of "sha256=<43 characters>"; nothing when the text is not that.
std::optional<QByteArray> digestDe(const QByteArray& texto) {
    // Written back, the digest must give the same text: no padding, no
    // stray bits in the last character, nothing but the alphabet.
    const auto r = QByteArray::fromBase64Encoding(
        texto.mid(7), QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals |
                          QByteArray::AbortOnBase64DecodingErrors);
    if (!r || r.decoded.size() != 32 || columnaSha256(r.decoded) != texto)
        return std::nullopt;
    return r.decoded;
}

std::optional<EntradaRecord> entradaDe(const QList<QByteArray>& campos, bool manifiesto) {
    if (campos.size() != 3 || campos[0].isEmpty())
        return std::nullopt;
    EntradaRecord e;
    e.ruta = QString::fromUtf8(campos[0]);
    const QByteArray& hash = campos[1];
    if (manifiesto && hash.startsWith("enlace=")) {
        if (hash.size() == 7 || !campos[2].isEmpty())
            return std::nullopt;
        e.enlace = QString::fromUtf8(hash.mid(7));
        return e;
    }
    if (hash.startsWith("sha256=")) {
        const auto digest = digestDe(hash);
        if (!digest)
            return std::nullopt;
        e.sha256 = *digest;
    } else if (!hash.isEmpty() && !hash.contains('=')) {
        return std::nullopt;
    }
    if (!campos[2].isEmpty()) {
        bool bien = false;
        const qint64 n = campos[2].toLongLong(&bien);
        const auto cifra = [](char c) { return c >= '0' && c <= '9'; };
        if (!bien || !std::all_of(campos[2].begin(), campos[2].end(), cifra))
            return std::nullopt;
        e.tamano = n;
    }
    return e;
}

} // namespace

void recorrerRecord(QByteArrayView texto, bool manifiesto,
                    const std::function<bool(EntradaRecord&)>& fila,
                    const std::function<bool(int)>& danada, const std::atomic<bool>* parar) {
    int linea = 1;
    for (qsizetype i = 0, n = 0; i < texto.size(); ++n) {
        if (parar && n % 4096 == 0 && parar->load(std::memory_order_relaxed))
            return;
        Fila f = leerFila(texto, i);
        if (!f.bien && f.saltos > 1) {
            // A quote left open swallowed the lines after it: only its own is lost.
            const qsizetype salto = texto.indexOf('\n', i);
            f.fin = salto < 0 ? texto.size() : salto + 1;
            f.saltos = 1;
        }
        const bool vacia = f.campos.size() == 1 && f.campos[0].isEmpty() && f.bien;
        if (!vacia) {
            auto e = f.bien ? entradaDe(f.campos, manifiesto) : std::nullopt;
            if (!e) {
                if (!danada(linea))
                    return;
            } else if (!e->ruta.endsWith(QLatin1String(".pyc"))) {
                e->linea = linea;
                if (!fila(*e))
                    return;
            }
        }
        linea += f.saltos;
        i = f.fin;
    }
}

Record leerRecord(QByteArrayView texto, bool manifiesto) {
    Record r;
    recorrerRecord(
        texto, manifiesto,
        [&r](EntradaRecord& e) {
            r.entradas.append(std::move(e));
            return true;
        },
        [&r](int linea) {
            r.danadas.append(linea);
            return true;
        });
    return r;
}

QByteArray columnaSha256(const QByteArray& digest) {
    return "sha256=" +
           digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}
