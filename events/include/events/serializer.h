// The pair collector of one line. With collection on it turns each value into its text at
// once and keeps (key, text) entries on a stack that finish() prints, the last pushed first;
// with collection off it prints each pair as it comes. Lives for one line.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "events/log_record.h"
#include "events/record_decorator.h"

namespace events {

class Serializer final : public PairSink {
  public:
    Serializer(RecordDecorator& decorator, bool comma_needed, bool collect)
        : decorator_(decorator), comma_needed_(comma_needed), collect_(collect) {}
    Serializer(const Serializer&) = delete;
    Serializer& operator=(const Serializer&) = delete;

    SupplyStatus emit(std::string_view key, const Value& value) override;

    // Prints the collected pairs, each as [", "] key ": " value. On a failed write the
    // remaining entries are dropped and the error returned.
    IoStatus finish();

  private:
    IoStatus print_pair(std::string_view key, std::string_view value_text);

    RecordDecorator& decorator_;
    bool comma_needed_;
    bool collect_;
    std::vector<std::pair<std::string, std::string>> stack_;
};

}  // namespace events
