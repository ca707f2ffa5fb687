// The loader's constants as Linux (glibc) defines them.
#pragma once

#include <dlfcn.h>

namespace dynamic_loader::imp {

// RTLD_DEFAULT is the null handle on Linux.
inline void* const kDefaultHandle = nullptr;
inline constexpr int kLazy = 0x1;
inline constexpr int kLocal = 0x0;
inline constexpr int kNoLoad = 0x4;

static_assert(kLazy == RTLD_LAZY && kLocal == RTLD_LOCAL && kNoLoad == RTLD_NOLOAD);

}  // namespace dynamic_loader::imp
