#pragma once

#include "platform/ui/comctrls.h"
#include "platform/ui/geometry.h"
#include "platform/ui/messages.h"
#include "platform/ui/printers.h"

#include <cstdint>

// The rich edit window's messages, notifications and records, as the
// system's code sends and reads them. Text in them is UTF-8; positions
// count characters, a paragraph mark and an embedded object one each.

// Messages of the plain edit that the rich edit also answers.
constexpr uint32_t EM_LINEINDEX = 0x00BB;
constexpr uint32_t EM_LINELENGTH = 0x00C1;
constexpr uint32_t EM_GETLINE = 0x00C4;
constexpr uint32_t EM_LINEFROMCHAR = 0x00C9;
constexpr uint32_t EM_POSFROMCHAR = 0x00D6;
constexpr uint32_t EM_CHARFROMPOS = 0x00D7;

// Rich edit messages.
constexpr uint32_t EM_CANPASTE = WM_USER + 50;
constexpr uint32_t EM_EXGETSEL = WM_USER + 52;
constexpr uint32_t EM_EXLIMITTEXT = WM_USER + 53;
constexpr uint32_t EM_EXLINEFROMCHAR = WM_USER + 54;
constexpr uint32_t EM_EXSETSEL = WM_USER + 55;
constexpr uint32_t EM_FINDTEXT = WM_USER + 56;
constexpr uint32_t EM_FORMATRANGE = WM_USER + 57;
constexpr uint32_t EM_GETCHARFORMAT = WM_USER + 58;
constexpr uint32_t EM_GETEVENTMASK = WM_USER + 59;
constexpr uint32_t EM_GETOLEINTERFACE = WM_USER + 60;
constexpr uint32_t EM_GETPARAFORMAT = WM_USER + 61;
constexpr uint32_t EM_HIDESELECTION = WM_USER + 63;
constexpr uint32_t EM_REQUESTRESIZE = WM_USER + 65;
constexpr uint32_t EM_SELECTIONTYPE = WM_USER + 66;
constexpr uint32_t EM_SETBKGNDCOLOR = WM_USER + 67;
constexpr uint32_t EM_SETCHARFORMAT = WM_USER + 68;
constexpr uint32_t EM_SETEVENTMASK = WM_USER + 69;
constexpr uint32_t EM_SETOLECALLBACK = WM_USER + 70;
constexpr uint32_t EM_SETPARAFORMAT = WM_USER + 71;
constexpr uint32_t EM_SETTARGETDEVICE = WM_USER + 72;
constexpr uint32_t EM_STREAMIN = WM_USER + 73;
constexpr uint32_t EM_STREAMOUT = WM_USER + 74;
constexpr uint32_t EM_GETTEXTRANGE = WM_USER + 75;
constexpr uint32_t EM_FINDTEXTEX = WM_USER + 79;
constexpr uint32_t EM_REDO = WM_USER + 84;
constexpr uint32_t EM_CANREDO = WM_USER + 85;
constexpr uint32_t EM_AUTOURLDETECT = WM_USER + 91;

// Notifications: the window sends WM_NOTIFY to its parent, which reflects
// it to the control as CN_NOTIFY (NMHDR and both messages: comctrls.h);
// LParam points to the record.
constexpr int32_t EN_REQUESTRESIZE = 0x0701;
constexpr int32_t EN_SELCHANGE = 0x0702;
constexpr int32_t EN_PROTECTED = 0x0704;
constexpr int32_t EN_SAVECLIPBOARD = 0x0708;
constexpr int32_t EN_LINK = 0x070B;

// Event mask bits (EM_SETEVENTMASK).
constexpr uint32_t ENM_NONE = 0;
constexpr uint32_t ENM_CHANGE = 0x00000001;
constexpr uint32_t ENM_REQUESTRESIZE = 0x00040000;
constexpr uint32_t ENM_SELCHANGE = 0x00080000;
constexpr uint32_t ENM_PROTECTED = 0x00200000;
constexpr uint32_t ENM_LINK = 0x04000000;

struct CHARRANGE {
    int32_t cpMin = 0;
    int32_t cpMax = 0; // -1: to the end
};

struct SELCHANGE {
    NMHDR nmhdr;
    CHARRANGE chrg;
    uint16_t seltyp = 0;
};

// EN_PROTECTED: a change would touch protected text; a non-zero answer refuses it.
struct ENPROTECTED {
    NMHDR nmhdr;
    uint32_t msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CHARRANGE chrg;
};

// EN_LINK: a mouse message over text with the link attribute.
struct ENLINK {
    NMHDR nmhdr;
    uint32_t msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CHARRANGE chrg;
};

struct REQRESIZE {
    NMHDR nmhdr;
    TRect rc;
};

// ---- Character formats (EM_GETCHARFORMAT, EM_SETCHARFORMAT) -------------------------------------

constexpr uint32_t CFM_BOLD = 0x00000001;
constexpr uint32_t CFM_ITALIC = 0x00000002;
constexpr uint32_t CFM_UNDERLINE = 0x00000004;
constexpr uint32_t CFM_STRIKEOUT = 0x00000008;
constexpr uint32_t CFM_PROTECTED = 0x00000010;
constexpr uint32_t CFM_LINK = 0x00000020;
constexpr uint32_t CFM_SUPERSCRIPT = 0x00030000;
constexpr uint32_t CFM_CHARSET = 0x08000000;
constexpr uint32_t CFM_OFFSET = 0x10000000;
constexpr uint32_t CFM_FACE = 0x20000000;
constexpr uint32_t CFM_COLOR = 0x40000000;
constexpr uint32_t CFM_SIZE = 0x80000000;

constexpr uint32_t CFE_BOLD = 0x00000001;
constexpr uint32_t CFE_ITALIC = 0x00000002;
constexpr uint32_t CFE_UNDERLINE = 0x00000004;
constexpr uint32_t CFE_STRIKEOUT = 0x00000008;
constexpr uint32_t CFE_PROTECTED = 0x00000010;
constexpr uint32_t CFE_LINK = 0x00000020;
constexpr uint32_t CFE_SUBSCRIPT = 0x00010000;
constexpr uint32_t CFE_SUPERSCRIPT = 0x00020000;
constexpr uint32_t CFE_AUTOCOLOR = 0x40000000;

constexpr WPARAM SCF_DEFAULT = 0x0000;
constexpr WPARAM SCF_SELECTION = 0x0001;
constexpr WPARAM SCF_WORD = 0x0002;
constexpr WPARAM SCF_ALL = 0x0004;

constexpr int LF_FACESIZE = 32;

// 60 bytes, as the window expects them. For a selection of mixed
// attributes EM_GETCHARFORMAT clears the mask bits that differ.
struct CHARFORMAT {
    uint32_t cbSize = sizeof(CHARFORMAT);
    uint32_t dwMask = 0;
    uint32_t dwEffects = 0;
    int32_t yHeight = 0; // twips
    int32_t yOffset = 0;
    uint32_t crTextColor = 0; // $00BBGGRR
    uint8_t bCharSet = 0;
    uint8_t bPitchAndFamily = 0;
    char szFaceName[LF_FACESIZE] = {}; // UTF-8, cut at a character boundary
};
static_assert(sizeof(CHARFORMAT) == 60);

// ---- Paragraph formats (EM_GETPARAFORMAT, EM_SETPARAFORMAT) -------------------------------------

constexpr uint32_t PFM_STARTINDENT = 0x00000001;
constexpr uint32_t PFM_RIGHTINDENT = 0x00000002;
constexpr uint32_t PFM_OFFSET = 0x00000004;
constexpr uint32_t PFM_ALIGNMENT = 0x00000008;
constexpr uint32_t PFM_TABSTOPS = 0x00000010;
constexpr uint32_t PFM_NUMBERING = 0x00000020;
constexpr uint32_t PFM_SPACEBEFORE = 0x00000040;
constexpr uint32_t PFM_SPACEAFTER = 0x00000080;
constexpr uint32_t PFM_LINESPACING = 0x00000100;
constexpr uint32_t PFM_OFFSETINDENT = 0x80000000;

constexpr uint16_t PFN_BULLET = 1;
constexpr uint16_t PFA_LEFT = 1;
constexpr uint16_t PFA_RIGHT = 2;
constexpr uint16_t PFA_CENTER = 3;
constexpr uint16_t PFA_JUSTIFY = 4;
constexpr int MAX_TAB_STOPS = 32;

// 156 bytes. Tab stops: the position in twips in the low 24 bits, the
// alignment (0 left, 1 centre, 2 right, 3 decimal) in bits 24 to 27.
struct PARAFORMAT {
    uint32_t cbSize = sizeof(PARAFORMAT);
    uint32_t dwMask = 0;
    uint16_t wNumbering = 0;
    uint16_t wEffects = 0;
    int32_t dxStartIndent = 0; // the first line, twips
    int32_t dxRightIndent = 0;
    int32_t dxOffset = 0; // the other lines relative to the first
    uint16_t wAlignment = PFA_LEFT;
    int16_t cTabCount = 0;
    int32_t rgxTabs[MAX_TAB_STOPS] = {};
};
static_assert(sizeof(PARAFORMAT) == 156);

// 188 bytes: spacing and line spacing besides.
struct PARAFORMAT2 : PARAFORMAT {
    PARAFORMAT2() { cbSize = sizeof(PARAFORMAT2); }
    int32_t dySpaceBefore = 0;
    int32_t dySpaceAfter = 0;
    int32_t dyLineSpacing = 0;
    int16_t sStyle = 0;
    uint8_t bLineSpacingRule = 0; // 0 single ... 5 multiple (dyLineSpacing / 20 lines)
    uint8_t bOutlineLevel = 0;
    uint16_t wShadingWeight = 0;
    uint16_t wShadingStyle = 0;
    uint16_t wNumberingStart = 0;
    uint16_t wNumberingStyle = 0;
    uint16_t wNumberingTab = 0;
    uint16_t wBorderSpace = 0;
    uint16_t wBorderWidth = 0;
    uint16_t wBorders = 0;
};
static_assert(sizeof(PARAFORMAT2) == 188);

// ---- Find, ranges, streams, printing ---------------------------------------------------------------

constexpr WPARAM FR_DOWN = 0x00000001;
constexpr WPARAM FR_WHOLEWORD = 0x00000002;
constexpr WPARAM FR_MATCHCASE = 0x00000004;

struct FINDTEXT {
    CHARRANGE chrg;
    const char *lpstrText = nullptr;
};
struct FINDTEXTEX {
    CHARRANGE chrg;
    const char *lpstrText = nullptr;
    CHARRANGE chrgText; // the match found
};

// EM_GETTEXTRANGE: lpstrText must hold 4 bytes a character plus one.
struct TEXTRANGE {
    CHARRANGE chrg;
    char *lpstrText = nullptr;
};

constexpr WPARAM SF_TEXT = 0x0001;
constexpr WPARAM SF_RTF = 0x0002;
constexpr WPARAM SFF_SELECTION = 0x8000;

// The callback moves at most cb bytes and says in *pcb how many it moved;
// a non-zero result stops the stream, and lands in dwError.
using EDITSTREAMCALLBACK = uint32_t (*)(uintptr_t dwCookie, uint8_t *pbBuff, int32_t cb, int32_t *pcb);
struct EDITSTREAM {
    uintptr_t dwCookie = 0;
    uint32_t dwError = 0; // also set when the data read in is not valid RTF
    EDITSTREAMCALLBACK pfnCallback = nullptr;
};

// EM_FORMATRANGE: wParam 1 renders, 0 only measures; LParam 0 releases
// the formatting cache. rc and rcPage are twips. Answers the first
// character that did not fit.
struct FORMATRANGE {
    HDC hdc = nullptr;
    HDC hdcTarget = nullptr;
    TRect rc;
    TRect rcPage;
    CHARRANGE chrg;
};

constexpr uint16_t SEL_EMPTY = 0x0000;
constexpr uint16_t SEL_TEXT = 0x0001;
constexpr uint16_t SEL_OBJECT = 0x0002;
