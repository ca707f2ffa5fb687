// LoadError construction from loader messages, and its debug form.
#include "dynamic_loader/load_error.h"

#include "base/debug_string.h"
#include "base/utf8.h"

namespace dynamic_loader {

LoadError LoadError::from_platform_text(const char* text) {
    if (text == nullptr) {
        return LoadError();
    }
    return LoadError(base::to_utf8_lossy(text));
}

std::string debug_form(const LoadError& error) {
    if (!error.text()) {
        return "None";
    }
    return "Some(" + base::debug_quoted(*error.text()) + ")";
}

}  // namespace dynamic_loader
