// The function types of the system entry points that the system-call table resolves by name,
// as the macOS SDK declares them. Each alias bears the entry point's own name.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "platform/system_types.h"

namespace platform::entry_point_types {

using renameatx_np = int(int fromfd, const char* from, int tofd, const char* to,
                         unsigned int flags);
using getattrlistbulk = int(int dirfd, void* attr_list, void* attr_buf, std::size_t attr_buf_size,
                            std::uint64_t options);
using getattrlistat = int(int fd, const char* path, void* attr_list, void* attr_buf,
                          std::size_t attr_buf_size, unsigned long options);
using fsgetpath = ssize_t(char* buf, std::size_t bufsize, fsid_t* fsid, std::uint64_t objid);
using clonefile = int(const char* src, const char* dst, std::uint32_t flags);
using fclonefileat = int(int srcfd, int dst_dirfd, const char* dst, std::uint32_t flags);
using acl_init = acl_t(int count);
using acl_free = int(void* obj_p);
using acl_set_fd = int(int fd, acl_t acl);
using acl_create_entry_np = int(acl_t* acl_p, acl_entry_t* entry_p, int entry_index);
using acl_set_tag_type = int(acl_entry_t entry_d, acl_tag_t tag_type);
using acl_set_qualifier = int(acl_entry_t entry_d, const void* tag_qualifier_p);
using acl_get_permset = int(acl_entry_t entry_d, acl_permset_t* permset_p);
using acl_clear_perms = int(acl_permset_t permset_d);
using acl_add_perm = int(acl_permset_t permset_d, acl_perm_t perm);
using acl_set_permset = int(acl_entry_t entry_d, acl_permset_t permset_d);
using mbr_gid_to_uuid = int(gid_t id, unsigned char* uu);
using acl_get_fd = acl_t(int fd);
using acl_get_tag_type = int(acl_entry_t entry_d, acl_tag_t* tag_type_p);
using acl_get_entry = int(acl_t acl, int entry_id, acl_entry_t* entry_p);
using getiopolicy_np = int(int iotype, int scope);
using setiopolicy_np = int(int iotype, int scope, int policy);

}  // namespace platform::entry_point_types

// Applies X(name) to each entry point's name, in the table's declaration order.
#define PLATFORM_FOR_EACH_ENTRY_POINT(X)                                                          \
    X(renameatx_np)                                                                               \
    X(getattrlistbulk) X(getattrlistat) X(fsgetpath) X(clonefile) X(fclonefileat) X(acl_init)     \
        X(acl_free) X(acl_set_fd) X(acl_create_entry_np) X(acl_set_tag_type) X(acl_set_qualifier) \
            X(acl_get_permset) X(acl_clear_perms) X(acl_add_perm) X(acl_set_permset)              \
                X(mbr_gid_to_uuid) X(acl_get_fd) X(acl_get_tag_type) X(acl_get_entry)             \
                    X(getiopolicy_np) X(setiopolicy_np)

namespace platform {

// The process I/O policy that keeps the system from fetching the contents of dataless files.
inline constexpr int kIopolTypeVfsMaterializeDatalessFiles = 3;
inline constexpr int kIopolScopeProcess = 0;
inline constexpr int kIopolScopeThread = 1;
inline constexpr int kIopolMaterializeDatalessFilesDefault = 0;
inline constexpr int kIopolMaterializeDatalessFilesOff = 1;
inline constexpr int kIopolMaterializeDatalessFilesOn = 2;

}  // namespace platform
