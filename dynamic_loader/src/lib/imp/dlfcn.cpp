// The dlfcn calls behind the loader. The constants come from the platform's own header
// directory (linux/ or macos/), chosen by the build.
#include <dlfcn.h>

#include "imp.h"
#include "imp_constants.h"

namespace dynamic_loader::imp {

Handle default_handle() {
    return kDefaultHandle;
}

std::variant<Handle, LoadError> open(const char* name, bool no_load) {
    const int mode = kLazy | kLocal | (no_load ? kNoLoad : 0);
    Handle handle = ::dlopen(name, mode);
    if (handle == nullptr) {
        return LoadError::from_platform_text(::dlerror());
    }
    return handle;
}

std::variant<void*, LoadError> resolve(Handle handle, const char* name) {
    void* address = ::dlsym(handle, name);
    if (address == nullptr) {
        return LoadError::from_platform_text(::dlerror());
    }
    return address;
}

void close(Handle handle) {
    if (::dlclose(handle) != 0) {
        // Nothing can be done about a failed close; only clear the thread's pending message.
        static_cast<void>(LoadError::from_platform_text(::dlerror()));
    }
}

}  // namespace dynamic_loader::imp
