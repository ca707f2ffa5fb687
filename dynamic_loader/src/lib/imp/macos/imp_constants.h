// The loader's constants as macOS (libSystem) defines them.
#pragma once

#include <dlfcn.h>

#include <cstdint>

namespace dynamic_loader::imp {

// RTLD_DEFAULT is the pointer value -2 on macOS: all bits set but the lowest.
inline void* const kDefaultHandle = reinterpret_cast<void*>(std::intptr_t{-2});
inline constexpr int kLazy = 0x1;
inline constexpr int kLocal = 0x4;
inline constexpr int kNoLoad = 0x10;

static_assert(kLazy == RTLD_LAZY && kLocal == RTLD_LOCAL && kNoLoad == RTLD_NOLOAD);

}  // namespace dynamic_loader::imp
