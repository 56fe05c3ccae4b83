// JSON lines: whatever bytes a field holds, the line parses back to the same text.
#include <gtest/gtest.h>

#include <cmath>

#include "cli_json.h"
#include "json_line.h"

namespace {

struct QuoteCase {
    std::string text;
    std::string quoted;
    std::string parsedBack;  // what a JSON reader gets
};

TEST(CliJsonLine, QuotesEveryKindOfByte) {
    const QuoteCase cases[] = {
        {"plain", "\"plain\"", "plain"},
        {"say \"hi\"", "\"say \\\"hi\\\"\"", "say \"hi\""},
        {"C:\\fw.enc", "\"C:\\\\fw.enc\"", "C:\\fw.enc"},
        {"a\nb\tc\r", "\"a\\nb\\tc\\r\"", "a\nb\tc\r"},
        {std::string("nul\0x", 5), "\"nul\\u0000x\"", std::string("nul\0x", 5)},
        {"\x7f", "\"\\u007f\"", "\x7f"},
        {"Gr\xC3\xBC\xC3\x9F", "\"Gr\xC3\xBC\xC3\x9F\"", "Gr\xC3\xBC\xC3\x9F"},   // valid UTF-8 passes
        {"\xFF", "\"\\u00ff\"", "\xC3\xBF"},                                       // a lone byte as Latin-1
        {"\xC3", "\"\\u00c3\"", "\xC3\x83"},                                       // a cut sequence too
    };
    for (const QuoteCase& c : cases) {
        EXPECT_EQ(JsonQuote(c.text), c.quoted);
        JsonValue value;
        ASSERT_TRUE(ParseJson(JsonQuote(c.text), &value)) << JsonQuote(c.text);
        EXPECT_EQ(value.text, c.parsedBack);
    }
}

TEST(CliJsonLine, BuildsOneParsableObject) {
    JsonLine line;
    line.Add("event", "result").Add("exit", int32_t{6}).Add("ok", false).Add("rate", 1234.5);
    line.Add("unknown", std::nan("")).Add("bytes", std::vector<uint8_t>{0x41, 0, 0x55});
    line.AddRaw("nested", JsonLine().Add("state", "busy").Text());
    EXPECT_EQ(line.Text().find('\n'), std::string::npos);
    JsonValue value;
    ASSERT_TRUE(ParseJson(line.Text(), &value)) << line.Text();
    EXPECT_EQ(value["event"].text, "result");
    EXPECT_EQ(value["exit"].number, 6);
    EXPECT_EQ(value["ok"].type, JsonValue::Type::Bool);
    EXPECT_FALSE(value["ok"].boolean);
    EXPECT_DOUBLE_EQ(value["rate"].number, 1234.5);
    EXPECT_EQ(value["unknown"].type, JsonValue::Type::Null);
    ASSERT_EQ(value["bytes"].items.size(), 3u);
    EXPECT_EQ(value["bytes"].items[2].number, 0x55);
    EXPECT_EQ(value["nested"]["state"].text, "busy");
}

}  // namespace
