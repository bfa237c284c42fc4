#pragma once

#include <chrono>

// The program's limits and delays in one place; tests hand in shorter ones.
struct Tiempos {
    using ms = std::chrono::milliseconds;
    ms limiteEspera{240'000};    // the wait for the engine, measured on the clock
    ms graciaMotor{8'000};       // how long the engine may be gone before we give up
    ms pausaSonda{500};          // between two unsuccessful probes
    ms retrasoSalida{2'000};     // from the engine's first answer to quitting
    ms retrasoApertura{1'500};   // from a finished installation to opening the engine
    ms retrasoExpulsion{2'000};  // before the disk image is ejected
    ms graciaInstalador{10'000}; // for a stopped installer to clean up before it is killed
};
