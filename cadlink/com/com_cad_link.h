#pragma once

#include <memory>

#include "cadlink/cad_link.h"

namespace morvane {

// The binding to the running CAD application through its COM automation interface. The calling
// thread must already be in a single-threaded apartment (CoInitializeEx with
// COINIT_APARTMENTTHREADED) and stay in it while the link or any handle it gave out lives; every
// call must come from that thread. Creating the link touches nothing and throws nothing but
// std::bad_alloc; its operations throw morvane::Failure.
[[nodiscard]] std::unique_ptr<CadLink> MakeComCadLink();

}  // namespace morvane
