// Building the system-call table. The members are initialised in declaration order, so the
// look-ups and their events happen in that order; each look-up is a statement of its own line,
// so each event names where it was emitted.
#include "platform/syscalls.h"

#include <string>
#include <utility>

#include "base/fatal_report.h"
#include "base/source_location.h"
#include "events/log_record.h"
#include "platform/logging_events.h"

namespace platform {
namespace {

using dynamic_loader::Library;
using dynamic_loader::LoadError;
using dynamic_loader::Loading;
using dynamic_loader::StaticName;
using dynamic_loader::Symbol;

// The call site of the statement that calls it.
events::CallSite here(base::SourceLocation where = base::SourceLocation::current()) {
    return events::call_site("platform::platform_macos::syscalls", events::Level::error, where);
}

// The process's default namespace when it holds the system library, else the system library
// itself, which every process has loaded.
Library find_system_library() {
    Library default_namespace = Library::default_namespace();
    // Only the probe's outcome counts: a Symbol it finds goes at once.
    std::optional<LoadError> probe_error;
    if (auto probe = default_namespace.lookup<entry_point_types::getattrlistat>("getattrlistat");
        !probe) {
        probe_error = std::move(probe).error();
    }
    if (!probe_error) {
        return default_namespace;
    }
    load_syscall_find_default_broken(probe_error->text(), here());
    auto opened = Library::open(OWNERSHIP_MENDER_SYSTEM_LIBRARY, Loading::only_if_loaded);
    if (!opened) {
        base::fatal("Couldn't find libSystem, even after retry? Is the sky falling? error: ",
                    dynamic_loader::debug_form(opened.error()));
    }
    return std::move(opened).value();
}

template <typename Function>
std::optional<Symbol<Function>> optional_entry(const Library& library, StaticName name,
                                               const events::CallSite& call_site) {
    auto found = library.lookup<Function>(name);
    if (!found) {
        load_syscall_symbol_error(name.view(), found.error().text(), call_site);
        return std::nullopt;
    }
    return std::move(found).value();
}

template <typename Function>
Symbol<Function> required_entry(const Library& library, StaticName name,
                                const events::CallSite& call_site) {
    auto found = optional_entry<Function>(library, name, call_site);
    if (!found) {
        std::string message = "unsupported platform without ";
        message.append(name.view()).append("(2)");
        base::fatal(message);
    }
    return std::move(*found);
}

}  // namespace

Syscalls Syscalls::create() {
    return Syscalls(find_system_library());
}

namespace types = entry_point_types;

// clang-format off
Syscalls::Syscalls(const Library& library)
    : renameatx_np(optional_entry<types::renameatx_np>(library, "renameatx_np", here())),
      getattrlistbulk(optional_entry<types::getattrlistbulk>(library, "getattrlistbulk", here())),
      getattrlistat(required_entry<types::getattrlistat>(library, "getattrlistat", here())),
      fsgetpath(optional_entry<types::fsgetpath>(library, "fsgetpath", here())),
      clonefile(optional_entry<types::clonefile>(library, "clonefile", here())),
      fclonefileat(optional_entry<types::fclonefileat>(library, "fclonefileat", here())),
      acl_init(optional_entry<types::acl_init>(library, "acl_init", here())),
      acl_free(optional_entry<types::acl_free>(library, "acl_free", here())),
      acl_set_fd(optional_entry<types::acl_set_fd>(library, "acl_set_fd", here())),
      acl_create_entry_np(optional_entry<types::acl_create_entry_np>(library, "acl_create_entry_np", here())),
      acl_set_tag_type(optional_entry<types::acl_set_tag_type>(library, "acl_set_tag_type", here())),
      acl_set_qualifier(optional_entry<types::acl_set_qualifier>(library, "acl_set_qualifier", here())),
      acl_get_permset(optional_entry<types::acl_get_permset>(library, "acl_get_permset", here())),
      acl_clear_perms(optional_entry<types::acl_clear_perms>(library, "acl_clear_perms", here())),
      acl_add_perm(optional_entry<types::acl_add_perm>(library, "acl_add_perm", here())),
      acl_set_permset(optional_entry<types::acl_set_permset>(library, "acl_set_permset", here())),
      mbr_gid_to_uuid(optional_entry<types::mbr_gid_to_uuid>(library, "mbr_gid_to_uuid", here())),
      acl_get_fd(optional_entry<types::acl_get_fd>(library, "acl_get_fd", here())),
      acl_get_tag_type(optional_entry<types::acl_get_tag_type>(library, "acl_get_tag_type", here())),
      acl_get_entry(optional_entry<types::acl_get_entry>(library, "acl_get_entry", here())),
      getiopolicy_np(optional_entry<types::getiopolicy_np>(library, "getiopolicy_np", here())),
      setiopolicy_np(optional_entry<types::setiopolicy_np>(library, "setiopolicy_np", here())) {}
// clang-format on

}  // namespace platform
