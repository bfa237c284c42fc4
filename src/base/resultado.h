#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// What an operation that can fail gives back: its value, or one line saying
// why it failed.
template <typename T = std::monostate> class Resultado {
public:
    Resultado(T valor = T())
        : valor_(std::move(valor)) {}
    static Resultado fallo(QString motivo) {
        Resultado r;
        r.valor_.reset();
        r.motivo_ = std::move(motivo);
        return r;
    }
    bool bien() const { return valor_.has_value(); }
    // Only when `bien()`.
    const T& valor() const { return *valor_; }
    // Empty when `bien()`.
    const QString& motivo() const { return motivo_; }

private:
    std::optional<T> valor_;
    QString motivo_;
};
