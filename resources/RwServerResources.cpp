// RwServer's resource table: the string table (Japanese user interface, stored as UTF-8) and the
// version block whose FileVersion the gateway's greeting carries.
#include "platform/win32.h"

#include <iterator>

namespace {

const win32::rc::StringEntry kStrings[] = {
    {101, "Railwick Server"},
    {102, "rwsvr_ro100_mainwndclass"},
    {103, "Winsockの初期化に失敗しました。"},
    {104, "コマンドラインパラメータが不正です。"},
    {105, "COMポートが開けません。他のアプリケーションが使用中の可能性があります。"},
    {106, "通信用のサーバの構築に失敗しました。"},
    {107, "設定の変更は次回の起動時から有効になります。"},
    {109, " - COM%d / TCP:%d"},
    {110, "VERSION Railwick Server %s"},
};

const win32::rc::VersionValue kJapaneseValues[] = {
    {"FileVersion", "2.00"},
    {"ProductVersion", "2.00"},
};

// Japanese, in the Unicode code page.
const win32::rc::VersionTranslation kTranslations[] = {
    {0x0411, 0x04B0, kJapaneseValues, std::size(kJapaneseValues)},
};

const win32::rc::VersionBlock kVersion = {
    {2, 0, 0, 0},
    {2, 0, 0, 0},
    kTranslations,
    std::size(kTranslations),
};

const win32::rc::Table kTable = {
    .strings = kStrings,
    .stringCount = std::size(kStrings),
    .version = &kVersion,
};

const win32::rc::Registration kRegistration(kTable);

}  // namespace
