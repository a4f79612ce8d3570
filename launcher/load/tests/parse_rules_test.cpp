#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "parse_rules.h"

using namespace std::string_literals;

namespace {

std::vector<std::string> Names(const std::string& buffer, size_t length)
{
    std::vector<std::string> names;
    ardmon::SplitSectionNames(buffer.data(), length, [&](std::string_view n) { names.emplace_back(n); });
    return names;
}

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const std::string& buffer)
{
    Entries entries;
    ardmon::SplitSectionEntries(buffer.data(), buffer.size(),
                                [&](std::string_view k, std::string_view v) { entries.emplace_back(k, v); });
    return entries;
}

TEST(SplitSectionNames, EmptyNamesAreSkippedAndOnlyTheFirstNCharactersCount)
{
    std::string list = "one\0\0two\0three\0\0"s;
    EXPECT_EQ(Names(list, list.size() - 1), (std::vector<std::string>{"one", "two", "three"}));
    // A name that its NUL does not end within N is not handed on.
    EXPECT_EQ(Names(list, 12), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(Names(list, 0).empty());
}

TEST(SplitSectionEntries, KeyBeforeTheFirstEqualsValueVerbatimAfterIt)
{
    EXPECT_EQ(EntriesOf("a=b=c\0k=\0=v\0 sp = x \0"s),
              (Entries{{"a", "b=c"}, {"k", ""}, {"", "v"}, {" sp ", " x "}}));
}

TEST(SplitSectionEntries, StringsWithoutEqualsAreDroppedAndNeighboursKeepTheirOwn)
{
    EXPECT_EQ(EntriesOf("x=1\0bare\0y=2\0"s), (Entries{{"x", "1"}, {"y", "2"}}));
    EXPECT_EQ(EntriesOf("k=1\0k=2\0"s), (Entries{{"k", "1"}, {"k", "2"}}));
    EXPECT_TRUE(EntriesOf("").empty());
}

}  // namespace
