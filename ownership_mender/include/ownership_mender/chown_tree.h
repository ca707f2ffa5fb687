// The ownership walk: hands a path and everything reachable beneath it to one user and group 0,
// depth first, children before their directory, following symbolic links. Silent: whatever
// cannot be listed or changed is skipped. Runs on the calling thread; shares nothing.
#pragma once

#include <cstdint>
#include <string_view>

namespace ownership_mender {

// Walks path (a byte string, used exactly as given; relative paths stay relative) and changes
// the owner of every entry to uid and the group to 0, each directory after all its entries.
// Entries whose full path is too long for the system, or crosses too many links, are named
// within their parent's open listing instead, so depth is bounded by descriptors alone.
// A directory already on the current line of descent (reached again through a link) is
// changed but not listed again, so link cycles end; so is a directory reached through a link
// that was walked before through a link from no deeper than here, so webs of links take
// linear time. The only failure is fatal: a path holding a zero byte.
void chown_tree(std::string_view path, std::uint32_t uid);

}  // namespace ownership_mender
