// The static description of one logging statement, shared by every record it makes. The texts
// are the program's own constants (source paths, module names), never freed.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/source_location.h"
#include "events/level.h"

namespace events {

struct CallSite {
    std::string_view file;
    std::uint32_t line;
    std::uint32_t column;
    std::string_view module_path;
    std::string_view function;
    std::string_view tag;
    Level level;
};

// The CallSite of the statement that calls this: file, line and column from `where`, with an
// empty function name and tag.
inline CallSite call_site(std::string_view module_path, Level level,
                          base::SourceLocation where = base::SourceLocation::current()) {
    return CallSite{where.file_name(), where.line(), where.column(), module_path, {}, {}, level};
}

}  // namespace events
