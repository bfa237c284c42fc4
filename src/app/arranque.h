#pragma once

#include <functional>

class Delegado;

// The whole program: fixes the start-up values, makes the delegate and runs the
// event loop. `preparar`, when given, sees the delegate before launching ends.
int arrancar(int argc, char** argv, const std::function<void(Delegado&)>& preparar = {});
