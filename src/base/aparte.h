#pragma once

#include <QObject>
#include <QThreadPool>

#include <atomic>

// Short jobs that must not hold the owner's thread (a tool that may take its
// time, a walk of many files): each runs on a pool of its own, and its result
// is handed to `luego` on the owner's thread. Destroying it waits for the jobs,
// and nothing is handed on after that.
class Aparte : public QObject {
public:
    using QObject::QObject;
    ~Aparte() override {
        cerrando_ = true;
        pool_.waitForDone();
    }
    template <typename T, typename F> void correr(T trabajo, F luego) {
        pool_.start([this, trabajo = std::move(trabajo), luego = std::move(luego)]() mutable {
            auto resultado = trabajo();
            if (!cerrando_.load())
                QMetaObject::invokeMethod(
                    this, [luego = std::move(luego), r = std::move(resultado)] { luego(r); },
                    Qt::QueuedConnection);
        });
    }

private:
    std::atomic<bool> cerrando_{false};
    QThreadPool pool_;
};
