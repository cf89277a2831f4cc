// Drawing: device contexts that record what is drawn (fonts, colours, text), which tests read
// through platform/testing.h. Nothing is rasterised.
#pragma once

#include "platform/posix/types.h"

namespace win32 {

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTA* LPLOGFONTA;
static_assert(sizeof(LOGFONTA) == 60);

constexpr int SYSTEM_FONT = 13;
// SYSTEM_FONT only (its character set follows the ANSI code page); null for any other.
HGDIOBJ GetStockObject(int object);
// Fonts only: copies the font's LOGFONTA; returns the bytes copied.
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);
HFONT CreateFontIndirectA(const LOGFONTA* font);
// Fonts only; returns the font selected before.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Stock objects are never deleted (TRUE, nothing happens). A font still selected in a device
// context is deleted for the program at once but freed only when it is deselected or its device
// context goes; tests see that it happened.
BOOL DeleteObject(HGDIOBJ object);
// Any recording device context, those of BeginPaint included.
BOOL DeleteDC(HDC dc);

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);

constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_SINGLELINE = 0x0020;
// Records the text (its first `count` bytes, or up to the NUL for -1), the rectangle, the flags,
// the colours and mode of the device context and the selected font; returns a line height.
int DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format);

}  // namespace win32
