// Message boxes on standard error, their answers and the beep.
#include "platform/testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override { RwTestResetDesktop(); }
    void TearDown() override {
        RwTestSetAnsiCodePage(932);
        RwTestResetDesktop();
    }
};

TEST_F(MessageBoxes, PrintsOneBlockInUtf8AndRecordsTheBox) {
    ::testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, "\x95\x5C\x8E\xA6 failed", "Railwick Server", MB_ICONEXCLAMATION);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Railwick Server] 表示 failed\n");
    EXPECT_EQ(answer, IDOK);

    HWND owner = reinterpret_cast<HWND>(0x40);
    ::testing::internal::CaptureStderr();
    MessageBoxA(owner, nullptr, nullptr, MB_OK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[Error] \n");

    std::vector<RwTestMessageBox> boxes = RwTestMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].caption, "Railwick Server");
    EXPECT_EQ(boxes[0].text, "\x95\x5C\x8E\xA6 failed");
    EXPECT_EQ(boxes[0].type, MB_ICONEXCLAMATION);
    EXPECT_EQ(boxes[1].owner, owner);
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].text, "");
}

TEST_F(MessageBoxes, BytesThatAreNoCharacterShowAsReplacementsAndNothingIsLost) {
    struct Case {
        const char* ansi;
        const char* shown;
    } cases[] = {
        {"\x8F\x49\x97\xB9", "終了"},
        {"abc\x81", "abc\uFFFD"},                     // a lead byte at the end
        {"\x81 x", "\uFFFD x"},                       // a lead byte whose next byte is no trail byte
        {"\x81\x0A" "next", "\uFFFD\nnext"},
        {"a\x85\x40z", "a\uFFFDz"},                   // a pair that names no character
        {"\x95\x5C\x81", "表\uFFFD"},
        {"?", "?"},
    };
    for (const Case& c : cases) {
        MessageBoxA(nullptr, c.ansi, "t", MB_OK);
        EXPECT_EQ(RwTestMessageBoxes().back().shown, std::string("[t] ") + c.shown + "\n") << c.ansi;
    }
    // Single-byte code pages have bytes without a character too.
    RwTestSetAnsiCodePage(1252);
    MessageBoxA(nullptr, "caf\xE9 \x81", "t", MB_OK);
    EXPECT_EQ(RwTestMessageBoxes().back().shown, "[t] café \uFFFD\n");
}

TEST_F(MessageBoxes, AnswersInTheOrderQueuedAndRunsTheCallbackWhileOpen) {
    bool ranWhileOpen = false;
    RwTestQueueMessageBoxAnswer(IDCANCEL);
    RwTestQueueMessageBoxAnswer(IDNO, [&] {
        // The box is recorded before it waits for its answer.
        ranWhileOpen = RwTestMessageBoxes().size() == 2;
    });
    EXPECT_EQ(MessageBoxA(nullptr, "one", "t", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "two", "t", MB_YESNO), IDNO);
    EXPECT_TRUE(ranWhileOpen);
    // Without a queued answer the first button answers.
    EXPECT_EQ(MessageBoxA(nullptr, "three", "t", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "four", "t", MB_OKCANCEL), IDOK);
}

TEST_F(MessageBoxes, BeepsAreRecorded) {
    EXPECT_TRUE(MessageBeep(0));
    EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
    EXPECT_EQ(RwTestBeeps(), (std::vector<UINT>{0, MB_ICONEXCLAMATION}));
    RwTestResetDesktop();
    EXPECT_TRUE(RwTestBeeps().empty());
}

}  // namespace
