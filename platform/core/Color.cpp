#include "platform/core/Color.h"

#include <array>
#include <cstdio>
#include <cctype>
#include <cstdlib>

#include "platform/core/CoreState.h"
#include "platform/core/Exceptions.h"

namespace epc {

namespace {

constexpr std::array<COLORREF, COLOR_ENDCOLORS + 1> kClassicColors = {
    RGB(212, 208, 200),  // scroll bar
    RGB(58, 110, 165),   // desktop
    RGB(10, 36, 106),    // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(212, 208, 200),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(212, 208, 200),  // active border
    RGB(212, 208, 200),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(10, 36, 106),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(212, 208, 200),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(212, 208, 200),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3D dark shadow
    RGB(212, 208, 200),  // 3D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(181, 181, 181),  // unused slot
    RGB(0, 0, 128),      // hot light
    RGB(166, 202, 240),  // gradient active caption
    RGB(192, 192, 192),  // gradient inactive caption
    RGB(10, 36, 106),    // menu highlight
    RGB(212, 208, 200),  // menu bar
};

struct ColorName {
    TColor color;
    const char* name;
};

constexpr ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clHotLight, "clHotLight"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuBar, "clMenuBar"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
};

}  // namespace

TCoreState::TCoreState() : SysColors(kClassicColors) {}

COLORREF GetSysColor(int index) {
    if (index < 0 || index > COLOR_ENDCOLORS) return 0;
    return CoreState().SysColors[static_cast<size_t>(index)];
}

COLORREF ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(static_cast<int>(uint32_t(color) & 0xFF));
    if (color == clDefault) return GetSysColor(COLOR_WINDOW);
    if (color == clNone) return 0;
    return uint32_t(color) & 0xFFFFFF;
}

std::optional<std::string> ColorToIdent(TColor color) {
    for (const auto& entry : kColorNames)
        if (entry.color == color) return std::string(entry.name);
    return std::nullopt;
}

std::optional<TColor> IdentToColor(const std::string& ident) {
    for (const auto& entry : kColorNames) {
        const char* a = entry.name;
        size_t i = 0;
        for (; a[i] && i < ident.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(a[i])) !=
                std::tolower(static_cast<unsigned char>(ident[i])))
                break;
        if (!a[i] && i == ident.size()) return entry.color;
    }
    return std::nullopt;
}

std::string ColorToString(TColor color) {
    if (auto ident = ColorToIdent(color)) return *ident;
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(color));
    return buf;
}

TColor StringToColor(const std::string& text) {
    if (auto color = IdentToColor(text)) return *color;
    if (!text.empty()) {
        const char* begin = text.c_str();
        char* end = nullptr;
        long long value;
        if (text[0] == '$')
            value = std::strtoll(begin + 1, &end, 16);
        else
            value = std::strtoll(begin, &end, 10);
        if (end && *end == '\0' && end != begin + (text[0] == '$' ? 1 : 0) &&
            value >= INT32_MIN && value <= UINT32_MAX)
            return static_cast<TColor>(static_cast<uint32_t>(value));
    }
    throw EConvertError("'" + text + "' is not a valid integer value");
}

}  // namespace epc
