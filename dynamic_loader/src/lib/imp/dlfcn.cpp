// The dlfcn calls behind the loader, with the platform's own RTLD_* values.
#include <dlfcn.h>

#include "imp.h"

namespace dynamic_loader::imp {

Handle default_handle() {
    return RTLD_DEFAULT;
}

base::Result<Handle, LoadError> open(const char* name, Loading loading) {
    const int mode =
        RTLD_LAZY | RTLD_LOCAL | (loading == Loading::only_if_loaded ? RTLD_NOLOAD : 0);
    Handle handle = ::dlopen(name, mode);
    if (handle == nullptr) {
        return LoadError::from_platform_text(::dlerror());
    }
    return handle;
}

base::Result<void*, LoadError> resolve(Handle handle, const char* name) {
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
