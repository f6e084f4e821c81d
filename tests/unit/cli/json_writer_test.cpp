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

TEST(JsonWriter, NamesPassAsUtf8)
{
    cli::JsonWriter w;
    w.String("caf\xc3\xa9 \xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe \xf0\x9f\x98\x80");
    EXPECT_EQ(w.Text(), "\"caf\xc3\xa9 \xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe \xf0\x9f\x98\x80\"");
}

}  // namespace
