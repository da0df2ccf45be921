#pragma once
// Run-time binding of the theme library. The library is looked up through a loader; the
// platform has none, so themed drawing stays off unless a test or a demo installs one (the
// recording double below records every themed call with its part and state numbers).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Geometry.h"
#include "platform/gdi/Gdi.h"
#include "platform/windows/DataTransfer.h"
#include "platform/windows/Window.h"

namespace epc {

// An open theme of one window class ("Button", "ScrollBar"); 0 when none.
using HTHEME = void*;

// Entry points of the theme library; each one that the library lacks stays empty.
struct TThemeLibrary {
    std::function<HTHEME(HWND window, const std::u16string& classList)> OpenThemeData;
    std::function<HRESULT(HTHEME theme)> CloseThemeData;
    std::function<HRESULT(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                          const RECT* clip)>
        DrawThemeBackground;
    std::function<HRESULT(HWND window, HDC dc, const RECT* rect)> DrawThemeParentBackground;
    std::function<bool()> IsThemeActive;
    std::function<bool()> IsAppThemed;
};

// Finds and loads the library ("uxtheme.dll"); null when it is absent.
using TThemeLibraryLoader = std::function<std::unique_ptr<TThemeLibrary>()>;
void SetThemeLibraryLoader(TThemeLibraryLoader loader);

// Count + 1; loads the library on the first call. Returns whether it is loaded.
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
// themed element went) and records every call. Themes are active unless told otherwise.
class TRecordingThemeLibrary {
public:
    bool Active = true;
    std::vector<TThemeCall> Calls;
    int OpenThemes = 0; // opened minus closed
    // The calls of one function, in order.
    std::vector<TThemeCall> CallsOf(const std::string& function) const;
    std::unique_ptr<TThemeLibrary> MakeLibrary();
};

// Installs a loader handing out the recorder's entry points (the recorder must outlive every
// use); an empty call restores the absent library.
void InstallRecordingThemeLibrary(TRecordingThemeLibrary* recorder);

} // namespace epc
