// Cursors and icons from the resource tables, the system metrics and colours.
#include "platform/testing.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

namespace {

struct Picture {
    int width;    // 256 is written as 0, as .ico files do
    int height;
    int bits;
};

// An .ico file: the directory, then a few bytes of picture data for each entry.
std::vector<BYTE> IcoFile(const std::vector<Picture>& pictures) {
    std::vector<BYTE> file;
    auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i) file.push_back(static_cast<BYTE>(value >> (8 * i)));
    };
    put(0, 2);
    put(1, 2);
    put(static_cast<unsigned>(pictures.size()), 2);
    constexpr unsigned kData = 8;
    unsigned offset = 6 + 16 * static_cast<unsigned>(pictures.size());
    for (const Picture& p : pictures) {
        put(p.width & 0xFF, 1);
        put(p.height & 0xFF, 1);
        put(0, 1);
        put(0, 1);
        put(1, 2);
        put(static_cast<unsigned>(p.bits), 2);
        put(kData, 4);
        put(offset, 4);
        offset += kData;
    }
    file.resize(offset, 0xAA);
    return file;
}

const std::vector<BYTE> kProgramIcon = IcoFile({{16, 16, 4}, {32, 32, 4}});
const std::vector<BYTE> kManySizes = IcoFile({{16, 16, 4}, {48, 48, 8}, {32, 32, 4}, {32, 32, 8}, {256, 256, 32}});
const std::vector<BYTE> kOneSmall = IcoFile({{16, 16, 4}});
// Says it lists one picture but ends after the directory's header.
const BYTE kTruncated[] = {0, 0, 1, 0, 1, 0, 16, 16};

const win32::rc::IconResource kIcons[] = {
    {7101, kProgramIcon.data(), kProgramIcon.size()},
    {7102, kManySizes.data(), kManySizes.size()},
    {7103, kOneSmall.data(), kOneSmall.size()},
    {7104, kTruncated, sizeof kTruncated},
};
const win32::rc::Table kTable = {.icons = kIcons, .iconCount = std::size(kIcons)};
const win32::rc::Registration kRegistration(kTable);

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

RwTestPicture Describe(HICON icon) {
    RwTestPicture picture{};
    EXPECT_TRUE(RwTestDescribePicture(icon, picture));
    return picture;
}

TEST(Cursors, SystemCursorsAreSharedAndSetCursorReturnsThePrevious) {
    RwTestResetDesktop();
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    ASSERT_NE(arrow, nullptr);
    ASSERT_NE(hand, nullptr);
    EXPECT_NE(arrow, hand);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND), hand);
    EXPECT_EQ(Describe(hand).resourceId, 32649u);
    EXPECT_TRUE(Describe(hand).cursor);

    EXPECT_EQ(SetCursor(hand), nullptr);
    EXPECT_EQ(SetCursor(arrow), hand);
    EXPECT_EQ(RwTestCurrentCursor(), arrow);

    // A shared cursor outlives DestroyCursor, so a control that destroys the cursor it loaded
    // leaves it usable for the next one.
    EXPECT_TRUE(DestroyCursor(hand));
    EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND), hand);
    EXPECT_EQ(SetCursor(hand), arrow);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadCursorA(Self(), IDC_ARROW), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32513)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_FALSE(DestroyCursor(reinterpret_cast<HCURSOR>(0x1234)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_CURSOR_HANDLE);
    EXPECT_EQ(SetCursor(reinterpret_cast<HCURSOR>(0x1234)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_CURSOR_HANDLE);
    EXPECT_EQ(RwTestCurrentCursor(), hand);

    RwTestSetHandCursorAbsent(true);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    RwTestResetDesktop();
    EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND), hand);
    EXPECT_EQ(RwTestCurrentCursor(), nullptr);
}

TEST(LoadImageA, PicksThePictureClosestToTheSizeAsked) {
    struct Case {
        int width;
        int height;
        int pictureWidth;
    } cases[] = {
        {16, 16, 16},
        {20, 20, 16},
        {24, 24, 32},    // as close to 16 as to 32: the larger wins
        {32, 32, 32},
        {40, 40, 48},
        {0, 0, 32},      // 0 asks for the system's icon size
        {200, 200, 256},
        {300, 300, 256},
    };
    for (const Case& c : cases) {
        HICON icon = static_cast<HICON>(LoadImageA(Self(), MAKEINTRESOURCEA(7102), IMAGE_ICON, c.width, c.height, LR_SHARED));
        ASSERT_NE(icon, nullptr) << c.width;
        RwTestPicture picture = Describe(icon);
        EXPECT_EQ(picture.width, c.pictureWidth) << c.width;
        EXPECT_EQ(picture.height, c.pictureWidth) << c.width;
        EXPECT_EQ(picture.module, Self());
        EXPECT_EQ(picture.resourceId, 7102u);
    }
    // Of the two 32 by 32 pictures the one with more colours is taken: asking twice for that
    // size, once through LoadIconA, gives the same shared picture.
    HICON large = static_cast<HICON>(LoadImageA(Self(), MAKEINTRESOURCEA(7102), IMAGE_ICON, 32, 32, LR_SHARED));
    EXPECT_EQ(LoadIconA(Self(), MAKEINTRESOURCEA(7102)), large);
}

TEST(LoadImageA, SharedPicturesKeepOneHandleAndOthersAreOwned) {
    const int alive = RwTestIconsAlive();
    HANDLE small = LoadImageA(Self(), MAKEINTRESOURCEA(7101), IMAGE_ICON, 16, 16, LR_SHARED);
    EXPECT_EQ(LoadImageA(Self(), MAKEINTRESOURCEA(7101), IMAGE_ICON, 16, 16, LR_SHARED), small);
    // Another size asked that picks the same picture is the same picture.
    EXPECT_EQ(LoadImageA(Self(), MAKEINTRESOURCEA(7101), IMAGE_ICON, 18, 18, LR_SHARED), small);
    HICON program = LoadIconA(Self(), MAKEINTRESOURCEA(7101));
    EXPECT_NE(program, small);
    EXPECT_EQ(Describe(program).width, 32);
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(small)));
    RwTestPicture kept{};
    EXPECT_TRUE(RwTestDescribePicture(static_cast<HICON>(small), kept));
    EXPECT_EQ(RwTestIconsAlive(), alive);

    HANDLE owned1 = LoadImageA(Self(), MAKEINTRESOURCEA(7101), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    HANDLE owned2 = LoadImageA(Self(), MAKEINTRESOURCEA(7101), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    EXPECT_NE(owned1, owned2);
    EXPECT_NE(owned1, small);
    EXPECT_EQ(RwTestIconsAlive(), alive + 2);
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(owned1)));
    EXPECT_TRUE(DestroyIcon(static_cast<HICON>(owned2)));
    EXPECT_EQ(RwTestIconsAlive(), alive);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(DestroyIcon(static_cast<HICON>(owned1)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ICON_HANDLE);
}

TEST(LoadImageA, FailuresSayWhatIsMissing) {
    HINSTANCE noIcons = GetModuleHandleA("User32.dll");   // the layer: no resource table at all
    struct Case {
        HINSTANCE module;
        WORD id;
        UINT type;
        DWORD error;
    } cases[] = {
        {Self(), 7199, IMAGE_ICON, ERROR_RESOURCE_NAME_NOT_FOUND},
        {noIcons, 7101, IMAGE_ICON, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {Self(), 7104, IMAGE_ICON, ERROR_RESOURCE_DATA_NOT_FOUND},
        {Self(), 7101, 0, ERROR_INVALID_PARAMETER},   // IMAGE_BITMAP
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(LoadImageA(c.module, MAKEINTRESOURCEA(c.id), c.type, 16, 16, LR_SHARED), nullptr) << c.id;
        EXPECT_EQ(GetLastError(), c.error) << c.id;
    }
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadIconA(Self(), "PROGRAM"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    // A group with only a small picture still gives an icon at the large size.
    HICON onlySmall = LoadIconA(Self(), MAKEINTRESOURCEA(7103));
    ASSERT_NE(onlySmall, nullptr);
    EXPECT_EQ(Describe(onlySmall).width, 16);
}

TEST(SystemMetricsAndColours, TheSimulatedDisplay) {
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), 16);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(8), RGB(0, 0, 0));   // COLOR_WINDOWTEXT
    EXPECT_EQ(GetSysColor(-1), 0u);
    EXPECT_EQ(GetSysColor(99), 0u);
}

}  // namespace
