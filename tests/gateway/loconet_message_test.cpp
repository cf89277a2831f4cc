// The hex parser of SEND lines, the comparison that recognises an echo, and the RECEIVE coding.
#include "gateway/ZLoconetMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const EndsInside = "string ends in the middle of a hex byte";
const char* const Invalid = "Invalid hex coding";
const char* const TooBig = "hex dump of message is bigger than buffer -> must be invalid loconet message";
const char* const TooShort = "message too short";
const char* const WrongLength = "hex dump length is not equal to message length";

// n bytes of a variable-length message as hex text: E5, the count byte (n unless given), then
// filler.
std::string VariableMessage(int n, const char* separator = " ", int count = -1) {
    std::string text = "E5";
    char byte[4];
    snprintf(byte, sizeof byte, "%02X", (count < 0 ? n : count) & 0xFF);
    text += separator;
    text += byte;
    for (int i = 2; i < n; ++i) {
        text += separator;
        text += "1F";
    }
    return text;
}

struct ParseCase {
    std::string text;
    const char* error;            // null: accepted
    std::vector<BYTE> bytes;      // the message when accepted
};

class ParseHexTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseHexTest, GivesTheMessageOrTheFirstErrorFromTheLeft) {
    const ParseCase& c = GetParam();
    ZLoconetMessage message;
    const char* error = message.ParseHex(c.text.c_str());
    if (c.error == nullptr) {
        ASSERT_EQ(error, nullptr) << error;
        ASSERT_EQ(message.length, c.bytes.size());
        EXPECT_EQ(std::vector<BYTE>(message.data, message.data + message.length), c.bytes);
    } else {
        ASSERT_NE(error, nullptr);
        EXPECT_STREQ(error, c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseHexTest, testing::Values(
    ParseCase{"80 7f", nullptr, {0x80, 0x7F}},
    ParseCase{"807F", nullptr, {0x80, 0x7F}},
    ParseCase{"80   7F  ", nullptr, {0x80, 0x7F}},
    ParseCase{"80 aF", nullptr, {0x80, 0xAF}},                       // mixed case within a byte
    ParseCase{"00 00", nullptr, {0x00, 0x00}},                       // opcode bit 7 is not tested
    ParseCase{"A0 01 02 5C", nullptr, {0xA0, 0x01, 0x02, 0x5C}},
    ParseCase{"A0 01 02 FF", nullptr, {0xA0, 0x01, 0x02, 0xFF}},     // a wrong checksum is accepted
    ParseCase{"E5 03 19", nullptr, {0xE5, 0x03, 0x19}},
    ParseCase{"C0 01 02 03 04 05", nullptr, {0xC0, 1, 2, 3, 4, 5}},
    ParseCase{" 80 7F", Invalid, {}},                                // leading blank
    ParseCase{"80\t7F", Invalid, {}},
    ParseCase{"80,7F", Invalid, {}},
    ParseCase{"G0", Invalid, {}},
    ParseCase{"0G", Invalid, {}},
    ParseCase{"80 \xC0" "1", Invalid, {}},                           // bytes above 0x7F are no digits
    ParseCase{"", EndsInside, {}},
    ParseCase{"8", EndsInside, {}},
    ParseCase{"80 7", EndsInside, {}},
    ParseCase{"G", EndsInside, {}},
    ParseCase{"80 G", EndsInside, {}},                               // the end test comes first
    ParseCase{"80", TooShort, {}},
    ParseCase{"80 ", TooShort, {}},
    ParseCase{"A0 01 02", WrongLength, {}},
    ParseCase{"E5 04 19", WrongLength, {}},
    ParseCase{"80 7F 00", WrongLength, {}},
    // 130 bytes are scanned to the end and judged by the length rule ...
    ParseCase{VariableMessage(130, " ", 0x10), WrongLength, {}},
    ParseCase{VariableMessage(130, "", 0x10), WrongLength, {}},
    // ... 131 bytes overflow, even with an error further on, which is never reached.
    ParseCase{VariableMessage(131), TooBig, {}},
    ParseCase{VariableMessage(131) + " ZZ", TooBig, {}},
    // An error before the 131st byte wins.
    ParseCase{"E5 0X" + VariableMessage(131), Invalid, {}}));

TEST(LoconetMessage, AcceptsVariableLengthMessagesUpToTheCapacity) {
    for (int n : {127, 130}) {
        ZLoconetMessage message;
        EXPECT_EQ(message.ParseHex(VariableMessage(n).c_str()), nullptr);
        EXPECT_EQ(message.length, static_cast<DWORD>(n));
    }
}

TEST(LoconetMessage, LengthRuleByOpcodeClass) {
    EXPECT_EQ(ZLoconetMessage::MessageLengthRule(0x83, 0xFF), 2u);
    EXPECT_EQ(ZLoconetMessage::MessageLengthRule(0xB0, 0xFF), 4u);
    EXPECT_EQ(ZLoconetMessage::MessageLengthRule(0xD0, 0xFF), 6u);
    EXPECT_EQ(ZLoconetMessage::MessageLengthRule(0xE7, 0x0E), 14u);
    EXPECT_EQ(ZLoconetMessage::MessageLengthRule(0xE7, 0x02), 2u);   // no range test on the count
}

TEST(LoconetMessage, EqualsNeedsSameLengthAndBytes) {
    const BYTE bytes[] = {0xA0, 0x01, 0x02, 0x5C};
    ZLoconetMessage full(4, bytes), prefix(2, bytes), same(4, bytes), empty, otherEmpty;
    EXPECT_TRUE(full.Equals(same));
    EXPECT_FALSE(full.Equals(prefix));
    EXPECT_FALSE(prefix.Equals(full));
    EXPECT_TRUE(empty.Equals(otherEmpty));
    const BYTE changed[] = {0xA0, 0x01, 0x02, 0x5D};
    EXPECT_FALSE(full.Equals(ZLoconetMessage(4, changed)));
}

TEST(LoconetMessage, FormatHexWritesBlankAndTwoUppercaseDigitsPerByte) {
    const BYTE bytes[] = {0x83, 0x7C, 0x0A};
    char text[3 * 3 + 1];
    EXPECT_EQ(ZLoconetMessage::FormatHex(text, bytes, 3), 9u);
    EXPECT_STREQ(text, " 83 7C 0A");
}

}  // namespace
