// What the tests observe of a library handle: how many shares it has. The program itself
// never asks; the count is only meaningful while no other thread copies or drops shares.
#pragma once

#include "dynamic_loader/library.h"

namespace dynamic_loader {

// Number of shares of library's handle: Library values and Symbols.
inline long share_count(const Library& library) {
    return library.inner_.use_count();
}

}  // namespace dynamic_loader
