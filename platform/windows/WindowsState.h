#pragma once
// The windows module's state of one program run, in one record, shared by its source files
// only: the window manager, the clipboard, data transfer, help, the input method, the theme
// binding, accessibility and the contexts handed out over window buffers.

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/windows/Accessibility.h"
#include "platform/windows/Clipboard.h"
#include "platform/windows/DataTransfer.h"
#include "platform/windows/Help.h"
#include "platform/windows/Ime.h"
#include "platform/windows/ThemeBinding.h"
#include "platform/windows/WindowInternal.h"

namespace epc {

struct TGlobalBlock {
    std::vector<uint8_t> Data;
    int Locks = 0;
};

struct TClipboardState {
    std::unordered_map<HGLOBAL, std::unique_ptr<TGlobalBlock>> Blocks;
    int FailAfter = -1;
    bool Open = false;
    DWORD Sequence = 1;
    HWND OpenWindow = nullptr;
    HWND Owner = nullptr;
    // Format -> handle, in the order set.
    std::vector<std::pair<uint32_t, HANDLE>> Data;
    std::vector<std::pair<uint32_t, HANDLE>> Synthesized;
};

struct TTransferState {
    std::map<HWND, IDropTarget*> Targets;
    IDataObject* ClipboardObject = nullptr;
    DWORD ClipboardSequence = 0;
    std::function<bool()> Driver;
    bool InLoop = false;
    bool HelperAvailable = false;
    std::vector<TDropTargetHelperCall> HelperCalls;
};

struct THelpState {
    std::vector<THelpEngineCall> Log;
    bool HtmlAvailable = true;
};

struct TImeState {
    std::u16string Result;
    std::u16string Composing;
    COMPOSITIONFORM Form;
    LOGFONTW Font;
    int Context = 0;
};

struct TThemeBindingState {
    TLibraryLoader Loader;
    std::unique_ptr<TThemeLibrary> Library;
    int RefCount = 0;
};

struct TAccState {
    std::map<LRESULT, IUnknown*> Cookies; // each holds a reference
    LRESULT NextCookie = 1;
    std::vector<TWinEventRecord> Events;
};

// The contexts handed out over window buffers, so ReleaseDC knows which ones to delete. A
// bitmap lives in one context at a time, so the contexts of one window form a stack: the
// newest holds the window's pixels and the others hold a stand-in until it is released.
struct TWindowDCRecord {
    HWND Window = nullptr;
    HBITMAP StandIn = nullptr; // selected while a newer context has the pixels
};
struct TWindowDCState {
    std::unordered_map<HDC, TWindowDCRecord> Records;
    std::unordered_map<HWND, std::vector<HDC>> Stacks;
};

struct TWindowsState {
    TWindowManager Manager;
    TClipboardState Clipboard;
    TTransferState Transfer;
    THelpState Help;
    TImeState Ime;
    TThemeBindingState Theme;
    TAccState Accessibility;
    TWindowDCState WindowDCs;

    // Frees what the record refers to outside itself (windows and their messages, drop
    // targets, clipboard handles, accessible objects) while it is still bound.
    void ShutDown();
};

inline TWindowsState& WindowsState() {
    return TBoundState<TWindowsState>::Current();
}

// The steps of ShutDown, each in the source file of its part.
void ShutDownDataTransfer();
void ShutDownWindowManager();
void ShutDownClipboard();
void ShutDownAccessibility();

} // namespace epc
