#pragma once
// Running the wizard's handlers so that an exception escaping one is shown in
// the application's exception box and the program goes on. Every button,
// timer and hand-over from another thread runs its handler through here, so
// exceptions never travel through the toolkit's own event code.
#include <functional>

void RunGuarded(const std::function<void()>& handler);

// A slot that runs handler guarded; the signal's arguments are dropped.
template <typename F>
auto Guarded(F handler) {
  return [handler] { RunGuarded(handler); };
}
