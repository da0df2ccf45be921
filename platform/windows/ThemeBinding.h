#pragma once
// Run-time binding of the theme library. The library is looked up through a loader and its
// entry points by name; the platform has none, so themed drawing stays off unless a test or a
// demo installs one (the recording double below records every themed call with its part and
// state numbers).

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/windows/LibraryBinding.h"
#include "platform/core/Geometry.h"
#include "platform/gdi/Gdi.h"
#include "platform/windows/DataTransfer.h"
#include "platform/windows/Window.h"

namespace epc {

// An open theme of one window class ("Button", "ScrollBar"); 0 when none.
using HTHEME = void*;
using HIMAGELIST = void*;

struct MARGINS {
    int cxLeftWidth = 0;
    int cxRightWidth = 0;
    int cyTopHeight = 0;
    int cyBottomHeight = 0;
};
enum THEMESIZE : int { TS_MIN, TS_TRUE, TS_DRAW };
enum PROPERTYORIGIN : int { PO_STATE, PO_PART, PO_CLASS, PO_GLOBAL, PO_NOTFOUND };

// Entry points of the theme library, each looked up by name; one the library lacks stays empty.
struct TThemeLibrary {
    std::function<HTHEME(HWND window, const std::u16string& classList)> OpenThemeData;
    std::function<HRESULT(HTHEME theme)> CloseThemeData;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip)>
        DrawThemeBackground;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const std::u16string& text,
                          DWORD flags, DWORD flags2, const RECT* rect)>
        DrawThemeText;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const RECT* bounds,
                          RECT* content)>
        GetThemeBackgroundContentRect;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                          THEMESIZE size, SIZE* result)>
        GetThemePartSize;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const std::u16string& text,
                          DWORD flags, const RECT* bounds, RECT* extent)>
        GetThemeTextExtent;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, TEXTMETRICW* metrics)>
        GetThemeTextMetrics;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                          HRGN* region)>
        GetThemeBackgroundRegion;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, DWORD options,
                          const RECT* rect, HRGN region, POINT test, uint16_t* hitCode)>
        HitTestThemeBackground;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const RECT* dest, UINT edge,
                          UINT flags, RECT* content)>
        DrawThemeEdge;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                          HIMAGELIST images, int imageIndex)>
        DrawThemeIcon;
    std::function<BOOL(HTHEME theme, int part, int state)> IsThemePartDefined;
    std::function<BOOL(HTHEME theme, int part, int state)> IsThemeBackgroundPartiallyTransparent;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, COLORREF* color)>
        GetThemeColor;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, int prop, int* value)>
        GetThemeMetric;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, std::u16string* value)>
        GetThemeString;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, BOOL* value)> GetThemeBool;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, int* value)> GetThemeInt;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, int* value)>
        GetThemeEnumValue;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, POINT* value)>
        GetThemePosition;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, int prop, LOGFONTW* font)>
        GetThemeFont;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, RECT* value)> GetThemeRect;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, int prop, const RECT* rect,
                          MARGINS* margins)>
        GetThemeMargins;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, std::vector<int>* values)>
        GetThemeIntList;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, PROPERTYORIGIN* origin)>
        GetThemePropertyOrigin;
    std::function<HRESULT(HWND window, const std::u16string& subAppName,
                          const std::u16string& subIdList)>
        SetWindowTheme;
    std::function<HRESULT(HTHEME theme, int part, int state, int prop, std::u16string* fileName)>
        GetThemeFilename;
    std::function<COLORREF(HTHEME theme, int colorId)> GetThemeSysColor;
    std::function<HBRUSH(HTHEME theme, int colorId)> GetThemeSysColorBrush;
    std::function<BOOL(HTHEME theme, int boolId)> GetThemeSysBool;
    std::function<int(HTHEME theme, int sizeId)> GetThemeSysSize;
    std::function<HRESULT(HTHEME theme, int fontId, LOGFONTW* font)> GetThemeSysFont;
    std::function<HRESULT(HTHEME theme, int stringId, std::u16string* value)> GetThemeSysString;
    std::function<HRESULT(HTHEME theme, int intId, int* value)> GetThemeSysInt;
    std::function<bool()> IsThemeActive;
    std::function<bool()> IsAppThemed;
    std::function<HTHEME(HWND window)> GetWindowTheme;
    std::function<HRESULT(HWND window, DWORD flags)> EnableThemeDialogTexture;
    std::function<BOOL(HWND window)> IsThemeDialogTextureEnabled;
    std::function<DWORD()> GetThemeAppProperties;
    std::function<void(DWORD flags)> SetThemeAppProperties;
    std::function<HRESULT(std::u16string* fileName, std::u16string* colorName,
                          std::u16string* sizeName)>
        GetCurrentThemeName;
    std::function<HRESULT(const std::u16string& themeName, const std::u16string& propertyName,
                          std::u16string* value)>
        GetThemeDocumentationProperty;
    std::function<HRESULT(HWND window, HDC dc, const RECT* rect)> DrawThemeParentBackground;
    std::function<HRESULT(BOOL enable)> EnableTheming;

    // The library the entry points come from (kept loaded while they are bound).
    std::unique_ptr<TLibraryModule> Module;
};

// The loader asked for "uxtheme.dll" (none by default: the platform has no theme library).
void SetThemeLibraryLoader(TLibraryLoader loader);

// Count + 1; loads the library and looks up every entry point when it is not loaded yet.
// Returns whether it is loaded.
bool InitThemeLibrary();
// Count - 1 when above 0; at 0 the library is freed and every entry point goes with it.
void FreeThemeLibrary();
// The library whatever the count (module finalisation).
void UnloadThemeLibrary();
// Loaded, and the application and the system both themed.
bool UseThemes();
// The entry points while the library is loaded, else null.
TThemeLibrary* ThemeLibrary();
int ThemeLibraryRefCount();

// Theme part and state numbers the controls use.
enum : int { BP_RADIOBUTTON = 2, BP_CHECKBOX = 3 };
enum : int { SBP_ARROWBTN = 1 };
enum : int { EP_EDITTEXT = 1 };
enum : int { ETS_NORMAL = 1 };
enum : int {
    ABS_UPNORMAL = 1,
    ABS_UPHOT = 2,
    ABS_UPPRESSED = 3,
    ABS_UPDISABLED = 4,
    ABS_DOWNNORMAL = 5,
    ABS_DOWNHOT = 6,
    ABS_DOWNPRESSED = 7,
    ABS_DOWNDISABLED = 8
};

// ---- Recording double ------------------------------------------------------------------------
struct TThemeCall {
    std::string Function; // "DrawThemeBackground", "DrawThemeParentBackground", ...
    std::u16string ClassList;
    HWND Window = nullptr;
    int Part = 0;
    int State = 0;
    TRect Rect;
};

// A theme library that draws nothing visible except a plain frame (so pictures show where a
// themed element went) and records every call. It answers the calls the controls make
// (opening and closing themes, drawing backgrounds and parent backgrounds, whether themes are
// active); entry points named in Missing are left out of the library it makes. Themes are
// active unless told otherwise.
class TRecordingThemeLibrary {
public:
    bool Active = true;
    std::set<std::string> Missing;
    std::vector<TThemeCall> Calls;
    int OpenThemes = 0; // opened minus closed
    // The calls of one function, in order.
    std::vector<TThemeCall> CallsOf(const std::string& function) const;
    std::unique_ptr<TLibraryModule> MakeLibrary();
};

// Installs a loader handing out the recorder's entry points (the recorder must outlive every
// use); an empty call restores the absent library.
void InstallRecordingThemeLibrary(TRecordingThemeLibrary* recorder);

} // namespace epc
