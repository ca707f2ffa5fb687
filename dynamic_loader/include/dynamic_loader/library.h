// Shared handles on dynamic libraries (or on the process's default symbol namespace) and the
// entry points resolved from them. A Library is one share of a counted handle; every Symbol
// holds a share too, so a library is closed only when its last Library and Symbol are gone.
// Shares are counted atomically: values may be handed between threads.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>

#include "base/fatal_report.h"
#include "base/result.h"
#include "dynamic_loader/load_error.h"

namespace dynamic_loader {

// An entry-point name with static storage and a terminating NUL: only string literals qualify,
// so a Symbol can keep the name without owning it.
class StaticName {
  public:
    template <std::size_t N>
    consteval StaticName(const char (&literal)[N])  // NOLINT: implicit from literals by design
        : text_(literal), size_(N - 1) {}

    const char* c_str() const { return text_; }
    std::string_view view() const { return {text_, size_}; }

  private:
    const char* text_;
    std::size_t size_;
};

template <typename Function>
class Symbol;

// Whether opening a library may load it, or succeeds only when it is loaded already.
enum class Loading { load, only_if_loaded };

class Library {
  public:
    // The process's default search order over every loaded image. Makes no platform call; the
    // handle is never closed.
    static Library default_namespace();

    // Opens name (a path or library name, without NUL) with lazy binding and local visibility.
    // A NUL inside name is fatal.
    static base::Result<Library, LoadError> open(std::string_view name, Loading loading);

    // Resolves name; the Symbol holds one more share of this library. A failed look-up adds
    // no share.
    template <typename Function>
    base::Result<Symbol<Function>, LoadError> lookup(StaticName name) const;

  private:
    class Inner;
    friend long share_count(const Library& library);  // for tests: src/testing
    explicit Library(std::shared_ptr<const Inner> inner) : inner_(std::move(inner)) {}
    // The raw address of name, or the loader's error; never a null address.
    base::Result<void*, LoadError> resolve(StaticName name) const;

    std::shared_ptr<const Inner> inner_;
};

// A resolved entry point, typed as the function it is. Its address is never null.
template <typename Function>
class Symbol {
  public:
    std::string_view name() const { return name_.view(); }
    Function* get() const { return address_; }
    const Library& library() const { return library_; }

    template <typename... Arguments>
    decltype(auto) operator()(Arguments&&... arguments) const {
        return address_(std::forward<Arguments>(arguments)...);
    }

  private:
    friend class Library;
    Symbol(StaticName name, Library library, Function* address)
        : name_(name), library_(std::move(library)), address_(address) {}

    StaticName name_;
    Library library_;
    Function* address_;
};

template <typename Function>
base::Result<Symbol<Function>, LoadError> Library::lookup(StaticName name) const {
    base::Result<void*, LoadError> resolved = resolve(name);
    if (!resolved) {
        return std::move(resolved).error();
    }
    void* address = resolved.value();
    if (address == nullptr) {
        base::fatal("`imp::resolve` should not return `Ok(ptr::null())`");
    }
    return Symbol<Function>(name, *this, reinterpret_cast<Function*>(address));
}

}  // namespace dynamic_loader
