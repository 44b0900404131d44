#pragma once

#include <cstdint>
#include <span>

namespace render {

// The factory bank (the bundle's init.fxb, built from resources/factory-programs.txt), embedded at build
// time.
std::span<const uint8_t> factoryBank();

}  // namespace render
