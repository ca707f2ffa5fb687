// Levels, value display texts, and the order in which records and logger lists supply pairs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "events/log_record.h"
#include "value_text.h"

namespace {

using events::Level;
using events::Value;

TEST(Level, ARecordPassesLevelsAtLeastAsVerbose) {
    const Level all[] = {Level::critical, Level::error, Level::warn,
                         Level::info,     Level::debug, Level::trace};
    EXPECT_FALSE(events::passes(Level::error, Level::critical));
    for (const Level configured :
         {Level::error, Level::warn, Level::info, Level::debug, Level::trace}) {
        EXPECT_TRUE(events::passes(Level::error, configured));
    }
    for (const Level record : all) {
        EXPECT_TRUE(events::passes(record, Level::trace));
        EXPECT_EQ(events::passes(record, Level::critical), record == Level::critical);
    }
    EXPECT_EQ(events::level_number(Level::critical), 0);
    EXPECT_EQ(events::level_number(Level::trace), 5);
}

std::string text_of(const Value& value) {
    std::string out;
    EXPECT_TRUE(events::append_display_text(value, out));
    return out;
}

TEST(ValueText, PlainDisplayForms) {
    const events::FormatFunction formatted = [](std::string& out) {
        out += "made now";
        return true;
    };
    const std::pair<Value, std::string> cases[] = {
        {std::string_view("\"quoted\" stays"), "\"quoted\" stays"},
        {std::string_view(""), ""},
        {events::Formatted{&formatted}, "made now"},
        {std::int8_t{-128}, "-128"},
        {std::int16_t{-32768}, "-32768"},
        {std::int32_t{-7}, "-7"},
        {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
        {std::numeric_limits<events::Int128>::min(), "-170141183460469231731687303715884105728"},
        {events::Int128{-1}, "-1"},
        {events::Int128{0}, "0"},
        {events::PointerWidthSigned{-42}, "-42"},
        {std::uint8_t{255}, "255"},
        {std::uint16_t{65535}, "65535"},
        {std::uint32_t{4294967295u}, "4294967295"},
        {std::numeric_limits<std::uint64_t>::max(), "18446744073709551615"},
        {std::numeric_limits<events::UInt128>::max(), "340282366920938463463374607431768211455"},
        {events::UInt128{0}, "0"},
        {events::PointerWidthUnsigned{42}, "42"},
        {0.1, "0.1"},
        {1.0, "1"},
        {-2.5, "-2.5"},
        {1e21, "1000000000000000000000"},
        {1e23, "99999999999999991611392"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e-7, "0.0000001"},
        {std::numeric_limits<double>::denorm_min(), "0." + std::string(323, '0') + "5"},
        {-0.0, "-0"},
        {0.1f, "0.1"},
        {0.3f, "0.3"},
        {static_cast<double>(0.3f), "0.30000001192092896"},
        {16777216.0f, "16777216"},
        {1.5e10f, "15000000512"},
        {std::numeric_limits<float>::max(), "340282346638528859811704183484516925440"},
        // The nearest decimal of 8 digits reads back as another float; the one beside it not.
        {std::ldexp(1.0f, -96), "0.000000000000000000000000000012621775"},
        {std::nan(""), "NaN"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::numeric_limits<float>::infinity(), "inf"},
        {true, "true"},
        {false, "false"},
        {U'x', "x"},
        {U'\u00e9', "\xC3\xA9"},
        {U'\u20ac', "\xE2\x82\xAC"},
        {U'\U0001F600', "\xF0\x9F\x98\x80"},
        {events::Absent{}, "None"},
        {events::Unit{}, "()"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(text_of(value), expected) << "kind " << value.index();
    }
}

TEST(ValueText, FailedFormattingIsReported) {
    const events::FormatFunction broken = [](std::string&) { return false; };
    std::string out;
    EXPECT_FALSE(events::append_display_text(events::Formatted{&broken}, out));
}

// Records the pairs it is given.
struct Recorder final : events::PairSink {
    std::vector<std::string> seen;
    std::size_t fail_at = 1000;
    base::Result<void, events::SupplyError> emit(std::string_view key,
                                                 const Value& value) override {
        if (seen.size() == fail_at) {
            return events::SupplyError::other;
        }
        seen.push_back(std::string(key) + "=" + text_of(value));
        return {};
    }
};

TEST(KeyValues, RecordsAndLoggerListsSupplyTheLastListedFirst) {
    const std::vector<events::KeyValue> pairs = {
        {"a", std::string_view("1")}, {"b", std::int32_t{2}}, {"c", events::Unit{}}};
    const events::CallSite site{"f.cpp", 1, 1, "m", "", "", Level::info};
    const events::LogRecord record(site, "msg", pairs);
    Recorder from_record;
    EXPECT_TRUE(record.supply(from_record).ok());
    EXPECT_EQ(from_record.seen, (std::vector<std::string>{"c=()", "b=2", "a=1"}));

    events::OwnedKeyValues owned;
    {
        std::string temporary = "text that goes away";
        owned.add_text("k", temporary);
        temporary.assign(40, 'x');
    }
    owned.add("n", std::uint8_t{7});
    Recorder from_list;
    EXPECT_TRUE(owned.supply(from_list).ok());
    EXPECT_EQ(from_list.seen, (std::vector<std::string>{"n=7", "k=text that goes away"}));

    // Supplying stops at the first failure.
    Recorder failing;
    failing.fail_at = 1;
    const base::Result<void, events::SupplyError> failed = record.supply(failing);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error(), events::SupplyError::other);
    EXPECT_EQ(failing.seen.size(), 1u);
}

TEST(KeyValues, AnEmptyRecordIsValid) {
    const events::CallSite site{"f.cpp", 1, 1, "m", "", "", Level::error};
    const events::LogRecord record(site, "");
    Recorder sink;
    EXPECT_TRUE(record.supply(sink).ok());
    EXPECT_TRUE(sink.seen.empty());
    EXPECT_EQ(record.message(), "");
    EXPECT_EQ(record.level(), Level::error);
}

TEST(CallSite, DescribesTheCallingStatement) {
    const events::CallSite site = events::call_site("platform::x", Level::warn);
    const std::uint32_t line = __LINE__ - 1;
    EXPECT_EQ(site.file, "events/tests/record_test.cpp");
    EXPECT_EQ(site.line, line);
    EXPECT_GT(site.column, 0u);
    EXPECT_EQ(site.module_path, "platform::x");
    EXPECT_EQ(site.function, "");
    EXPECT_EQ(site.tag, "");
    EXPECT_EQ(site.level, Level::warn);
}

}  // namespace
