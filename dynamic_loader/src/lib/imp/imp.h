// The platform layer under Library: dlopen, dlsym, dlerror and dlclose, with each failure's
// message read on the calling thread right after the failing call.
#pragma once

#include "base/result.h"
#include "dynamic_loader/library.h"
#include "dynamic_loader/load_error.h"

namespace dynamic_loader::imp {

using Handle = void*;

// The pseudo-handle for the process's default search order (RTLD_DEFAULT).
Handle default_handle();

// dlopen(name, lazy | local [| no-load]); name is NUL-terminated.
base::Result<Handle, LoadError> open(const char* name, Loading loading);

// dlsym(handle, name). A null address is a failure, with the loader's text if it gave one.
base::Result<void*, LoadError> resolve(Handle handle, const char* name);

// dlclose(handle) for a handle from open; a failure's message is read and discarded.
void close(Handle handle);

}  // namespace dynamic_loader::imp
