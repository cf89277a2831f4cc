// ZLocoBuffer on a pseudo-terminal: LocoNet framing of bytes that arrive in chunks, messages left
// for the next call, the caller's capacity, writes, and the end of the device.
#include "io/ZLocoBuffer.h"
#include "platform/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <future>

namespace {

constexpr int kPort = 4;
using namespace std::chrono_literals;
using Bytes = std::vector<BYTE>;

struct ReadResult {
    int length;
    Bytes message;
};

std::future<ReadResult> StartRead(ZLocoBuffer& device, DWORD capacity = 127) {
    return std::async(std::launch::async, [&device, capacity] {
        BYTE buffer[127] = {};
        int length = device.ReadMessage(buffer, capacity);
        return ReadResult{length, length > 0 ? Bytes(buffer, buffer + length) : Bytes()};
    });
}

// The result, or a failure when it does not come within the bound; the hang-up then ends the read.
ReadResult Await(std::future<ReadResult> reading, rwtest::PseudoTerminal& pty) {
    if (reading.wait_for(5s) != std::future_status::ready) {
        ADD_FAILURE() << "ReadMessage did not return";
        pty.Hangup();
    }
    return reading.get();
}

// The body followed by its checksum, so that all bytes XOR to 0xFF.
Bytes WithChecksum(Bytes body) {
    BYTE sum = 0xFF;
    for (BYTE b : body) sum ^= b;
    body.push_back(sum);
    return body;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + from, bytes.begin() + std::min(bytes.size(), from + count));
}

struct Step {
    Bytes chunk;                 // written to the device in one piece
    std::vector<Bytes> messages; // what ReadMessage returns from then on, in order
};

struct FramingCase {
    const char* name;
    std::vector<Step> steps;
};

std::vector<FramingCase> FramingCases() {
    const Bytes long14 = WithChecksum({0xE7, 0x0E, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B});
    Bytes body127 = {0xEF, 0x7F};
    for (int i = 0; i < 124; ++i) body127.push_back(static_cast<BYTE>(i & 0x7F));
    const Bytes long127 = WithChecksum(body127);
    std::vector<Step> threeAtATime;
    for (std::size_t at = 0; at < long127.size(); at += 3) threeAtATime.push_back({Slice(long127, at, 3), {}});
    threeAtATime.back().messages = {long127};
    threeAtATime.push_back({{0x83, 0x7C}, {{0x83, 0x7C}}});   // the buffer is whole after the longest message

    return {
        {"leading non-opcode byte dropped", {{{0x7F, 0x83, 0x7C}, {{0x83, 0x7C}}}}},
        {"message completed by a second read", {{{0xB0, 0x01, 0x20}, {}}, {{0x6E}, {{0xB0, 0x01, 0x20, 0x6E}}}}},
        {"bad checksum drops the opcode", {{{0x83, 0x7D, 0x83, 0x7C}, {{0x83, 0x7C}}}}},
        {"failed 4-byte candidate, message inside it", {{{0xB0, 0x01, 0x83, 0x7C}, {{0x83, 0x7C}}}}},
        // FD 02 would pass its checksum as a 2-byte message.
        {"variable length with count 02", {{{0xFD, 0x02, 0x83, 0x7C}, {{0x83, 0x7C}}}}},
        {"variable length with count 80", {{{0xE7, 0x80, 0x83, 0x7C}, {{0x83, 0x7C}}}}},
        {"variable length with count 0E waits for 14 bytes",
         {{Slice(long14, 0, 7), {}}, {Slice(long14, 7, 7), {long14}}}},
        {"opcode inside a waiting candidate belongs to it",
         {{{0xE7, 0x06, 0x83, 0x7C}, {}}, {{0x10, 0xF1}, {{0xE7, 0x06, 0x83, 0x7C, 0x10, 0xF1}}}}},
        {"framing restarts inside a failed candidate", {{{0xE7, 0x05, 0x83, 0x7C, 0x00}, {{0x83, 0x7C}}}}},
        {"second message of a read delivered without reading again",
         {{{0xB0, 0x01, 0x20}, {}}, {{0x6E, 0x83, 0x7C}, {{0xB0, 0x01, 0x20, 0x6E}, {0x83, 0x7C}}}}},
        {"127-byte message arriving 3 bytes at a time", threeAtATime},
    };
}

TEST(LocoBufferFraming, DeliversWhatTheLengthAndChecksumRulesFrame) {
    for (const FramingCase& c : FramingCases()) {
        SCOPED_TRACE(c.name);
        rwtest::PseudoTerminal pty(kPort);
        ASSERT_TRUE(pty.Ok());
        ZLocoBuffer device;
        ASSERT_TRUE(device.Open(kPort));
        for (const Step& step : c.steps) {
            // A read that expects a message starts before its bytes arrive, so it is woken by them.
            std::future<ReadResult> first;
            if (!step.messages.empty()) first = StartRead(device);
            ASSERT_TRUE(pty.Write(step.chunk));
            for (std::size_t i = 0; i < step.messages.size(); ++i) {
                ReadResult result = Await(i == 0 ? std::move(first) : StartRead(device), pty);
                EXPECT_EQ(result.length, static_cast<int>(step.messages[i].size()));
                EXPECT_EQ(result.message, step.messages[i]);
            }
        }
        // Nothing else is complete, so the next read waits until the device hangs up.
        std::future<ReadResult> last = StartRead(device);
        pty.Hangup();
        EXPECT_EQ(Await(std::move(last), pty).length, -1);
    }
}

class LocoBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(device.Open(kPort));
    }
    rwtest::PseudoTerminal pty{kPort};
    ZLocoBuffer device;
};

TEST_F(LocoBuffer, TooSmallCapacityLeavesTheMessageForTheNextCall) {
    ASSERT_TRUE(pty.Write({0x83, 0x7C}));
    EXPECT_EQ(Await(StartRead(device, 1), pty).length, -1);
    ReadResult result = Await(StartRead(device, 127), pty);
    EXPECT_EQ(result.length, 2);
    EXPECT_EQ(result.message, (Bytes{0x83, 0x7C}));
}

TEST_F(LocoBuffer, WritesTheBytesUnchanged) {
    // No checksum is added or checked: the gateway sends what its client gave.
    const BYTE bytes[3] = {0xA0, 0x01, 0x02};
    EXPECT_TRUE(device.WriteMessage(bytes, sizeof bytes));
    EXPECT_EQ(pty.Read(3), (Bytes{0xA0, 0x01, 0x02}));
}

}  // namespace
