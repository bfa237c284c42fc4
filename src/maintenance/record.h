#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

// The RECORD file an installed distribution carries (`*.dist-info/RECORD`,
// as pip and uv write it: CSV in the style of Python's csv module, one file a
// row: path, "sha256=" digest, size), and the installer's own manifest of the
// interpreter and ffmpeg, written in the same format.

// One row: what a file should be.
struct EntradaRecord {
    QString ruta;      // as written: relative to the RECORD's base, '/' between parts
    QByteArray sha256; // the 32 raw bytes; empty when only its presence is checked
    std::optional<qint64> tamano;
    std::optional<QString> enlace; // manifest only: a symbolic link with exactly this target
    int linea = 0;                 // where its row starts, from 1
    bool operator==(const EntradaRecord&) const = default;
};

struct Record {
    QList<EntradaRecord> entradas; // in the file's order; .pyc files and blank rows left out
    QList<int> danadas;            // lines whose row could not be read, in order
};

// Reads a RECORD. A row with odd quoting, other than three fields, a bad
// digest or a bad size is left out and its line named in `danadas`; the
// rows after it are still read. A quoted field may hold line breaks, but a
// row takes at most `LINEAS_POR_FILA` lines, so reading takes time in
// proportion to the text whatever its quotes. A digest of another
// algorithm than SHA-256 leaves the file checked for presence and size
// only. In the manifest (`manifiesto`), and only there, "enlace=<target>"
// in the digest column records a symbolic link.
Record leerRecord(QByteArrayView texto, bool manifiesto = false);

inline constexpr int LINEAS_POR_FILA = 4;

// The same reading, row by row, without keeping the rows: `fila` hears each
// readable one and `danada` each unreadable line; either stops the reading by
// returning false, and so does `parar`.
void recorrerRecord(QByteArrayView texto, bool manifiesto,
                    const std::function<bool(EntradaRecord&)>& fila,
                    const std::function<bool(int)>& danada,
                    const std::atomic<bool>* parar = nullptr);

// "sha256=" and the digest in URL-safe base64 without padding, as RECORD writes it.
QByteArray columnaSha256(const QByteArray& digest);
