// Structured events: the copy of a platform event that goes to the thread's event logger, and
// the interface of such a logger (held through a shared handle, used from any thread).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace events {

// Owns all its texts; ownership passes to the event logger that receives it.
struct PlatformEvent {
    std::string name;
    // (field name, JSON text), in declaration order.
    std::vector<std::pair<std::string, std::string>> fields;
    std::string event_namespace;
    std::int32_t code = 0;
};

class EventLogger {
  public:
    virtual ~EventLogger() = default;
    virtual void log_event(PlatformEvent event) = 0;
};

}  // namespace events
