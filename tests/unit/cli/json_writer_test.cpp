// The JSON writer of dravik-cli.
#include <gtest/gtest.h>

#include <cstdint>

#include "cli/json_writer.h"

namespace {

TEST(JsonWriter, NestedContainersAndCommas)
{
    cli::JsonWriter w;
    w.BeginObject().Field("a", 1).Key("list").BeginArray().Int(-2).UInt(UINT64_MAX).Bool(false).Null().BeginObject()
        .EndObject().EndArray().Field("s", "x").EndObject();
    EXPECT_EQ(w.Text(), R"({"a":1,"list":[-2,18446744073709551615,false,null,{}],"s":"x"})");
}

TEST(JsonWriter, EscapesQuotesBackslashesAndControls)
{
    cli::JsonWriter w;
    w.String(std::string("q\"b\\n\n\t\x01\x7f", 9));
    EXPECT_EQ(w.Text(), R"("q\"b\\n\n\t\u0001\u007f")");
}

TEST(JsonWriter, Latin1NamesBecomeUtf8)
{
    cli::JsonWriter w;
    w.Latin1String("caf\xe9");
    EXPECT_EQ(w.Text(), "\"caf\xc3\xa9\"");
}

}  // namespace
