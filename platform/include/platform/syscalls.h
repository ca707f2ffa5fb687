// The table of macOS system entry points that the program finds by name at run time instead of
// binding them at link time. Built once by Syscalls::create(); read-only afterwards. Each present
// field holds a share of the library it came from, so the library stays open exactly as long as
// some field lives. Movable, not copyable.
#pragma once

#include <optional>

#include "dynamic_loader/library.h"
#include "platform/entry_point_types.h"

namespace platform {

class Syscalls {
  public:
    template <typename Function>
    using Entry = dynamic_loader::Symbol<Function>;
    template <typename Function>
    using OptionalEntry = std::optional<Entry<Function>>;

    // Probes the process's default namespace for the system library and, if that fails, opens the
    // already loaded system library; then resolves every entry point in declaration order. A
    // missing optional entry point is reported as an event and left absent. Stops fatally when
    // the system library cannot be found or getattrlistat is missing.
    static Syscalls create();

    Syscalls(Syscalls&&) = default;
    Syscalls& operator=(Syscalls&&) = default;
    Syscalls(const Syscalls&) = delete;
    Syscalls& operator=(const Syscalls&) = delete;
    ~Syscalls() = default;

    OptionalEntry<entry_point_types::renameatx_np> renameatx_np;
    OptionalEntry<entry_point_types::getattrlistbulk> getattrlistbulk;
    Entry<entry_point_types::getattrlistat> getattrlistat;
    OptionalEntry<entry_point_types::fsgetpath> fsgetpath;
    OptionalEntry<entry_point_types::clonefile> clonefile;
    OptionalEntry<entry_point_types::fclonefileat> fclonefileat;
    OptionalEntry<entry_point_types::acl_init> acl_init;
    OptionalEntry<entry_point_types::acl_free> acl_free;
    OptionalEntry<entry_point_types::acl_set_fd> acl_set_fd;
    OptionalEntry<entry_point_types::acl_create_entry_np> acl_create_entry_np;
    OptionalEntry<entry_point_types::acl_set_tag_type> acl_set_tag_type;
    OptionalEntry<entry_point_types::acl_set_qualifier> acl_set_qualifier;
    OptionalEntry<entry_point_types::acl_get_permset> acl_get_permset;
    OptionalEntry<entry_point_types::acl_clear_perms> acl_clear_perms;
    OptionalEntry<entry_point_types::acl_add_perm> acl_add_perm;
    OptionalEntry<entry_point_types::acl_set_permset> acl_set_permset;
    OptionalEntry<entry_point_types::mbr_gid_to_uuid> mbr_gid_to_uuid;
    OptionalEntry<entry_point_types::acl_get_fd> acl_get_fd;
    OptionalEntry<entry_point_types::acl_get_tag_type> acl_get_tag_type;
    OptionalEntry<entry_point_types::acl_get_entry> acl_get_entry;
    OptionalEntry<entry_point_types::getiopolicy_np> getiopolicy_np;
    OptionalEntry<entry_point_types::setiopolicy_np> setiopolicy_np;

  private:
    explicit Syscalls(const dynamic_loader::Library& library);
};

}  // namespace platform
