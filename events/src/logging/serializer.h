// The pair collector of one line. With collection on it turns each value into its text at
// once and keeps (key, text) entries on a stack that finish() prints, the last pushed first;
// with collection off it prints each pair as it comes, and keeps the stream error that stopped
// it. Lives for one line.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"
#include "events/log_record.h"
#include "record_decorator.h"

namespace events {

class Serializer final : public PairSink {
  public:
    Serializer(RecordDecorator& decorator, bool comma_needed, bool collect)
        : decorator_(decorator), comma_needed_(comma_needed), collect_(collect) {}
    Serializer(const Serializer&) = delete;
    Serializer& operator=(const Serializer&) = delete;

    base::Result<void, SupplyError> emit(std::string_view key, const Value& value) override;

    // The stream error a failed supply ends the line with: kind Other with "formatting error"
    // or "other error", or the stream error that stopped this serializer.
    IoError error_for(SupplyError error) const;

    // Prints the collected pairs, each as [", "] key ": " value. On a failed write the
    // remaining entries are dropped and the error returned.
    base::Result<void, IoError> finish();

  private:
    base::Result<void, IoError> print_pair(std::string_view key, std::string_view value_text);

    RecordDecorator& decorator_;
    bool comma_needed_;
    bool collect_;
    std::vector<std::pair<std::string, std::string>> stack_;
    std::optional<IoError> stream_error_;
};

}  // namespace events
