// Library handles: the shared Inner closes its platform handle when the last share goes.
#include "dynamic_loader/library.h"

#include <string>

#include "base/nul_error.h"
#include "imp/imp.h"

namespace dynamic_loader {

// One loaded library (or the default namespace). Immutable; destroyed by its last share.
class Library::Inner {
  public:
    explicit Inner(imp::Handle handle) : handle_(handle) {}
    Inner(const Inner&) = delete;
    Inner& operator=(const Inner&) = delete;
    ~Inner() {
        if (handle_ != imp::default_handle()) {
            imp::close(handle_);
        }
    }
    imp::Handle handle() const { return handle_; }

  private:
    const imp::Handle handle_;
};

Library Library::default_namespace() {
    return Library(std::make_shared<const Inner>(imp::default_handle()));
}

base::Result<Library, LoadError> Library::open(std::string_view name, Loading loading) {
    if (base::first_nul(name) != std::string_view::npos) {
        base::fatal("Unable to construct name: ", base::describe_nul_error(name));
    }
    const std::string terminated(name);
    base::Result<imp::Handle, LoadError> opened = imp::open(terminated.c_str(), loading);
    if (!opened) {
        return std::move(opened).error();
    }
    return Library(std::make_shared<const Inner>(opened.value()));
}

base::Result<void*, LoadError> Library::resolve(StaticName name) const {
    return imp::resolve(inner_->handle(), name.c_str());
}

}  // namespace dynamic_loader
