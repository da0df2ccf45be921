#pragma once
// The in-process clipboard: formats registered by name, owned memory blocks, and the standard
// formats with text synthesized between CF_TEXT and CF_UNICODETEXT.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/windows/Window.h"

namespace epc {

// An opaque value, never an address: a freed block's handle never names a later block.
struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;
using HANDLE = void*;

enum : uint32_t { GMEM_FIXED = 0x0000, GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040,
                  GMEM_DDESHARE = 0x2000, GHND = 0x0042, GPTR = 0x0040 };

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);
HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, uint32_t flags);
// A new movable block holding a copy of the block's bytes; null when allocation fails.
HGLOBAL CopyGlobalBlock(HGLOBAL block);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);  // false once the lock count reaches zero, as in Win32
size_t GlobalSize(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);  // null on success
int LiveGlobalBlockCount();

enum : uint32_t { CF_TEXT = 1, CF_BITMAP = 2, CF_METAFILEPICT = 3, CF_SYLK = 4, CF_DIF = 5,
                  CF_TIFF = 6, CF_OEMTEXT = 7, CF_DIB = 8, CF_PALETTE = 9, CF_RIFF = 11,
                  CF_WAVE = 12, CF_UNICODETEXT = 13, CF_ENHMETAFILE = 14, CF_HDROP = 15,
                  CF_LOCALE = 16, CF_DIBV5 = 17 };

// The same name always gives the same id (names compare without case), from 0xC000.
uint32_t RegisterClipboardFormatA(const char* name);
int GetClipboardFormatNameA(uint32_t format, char* buffer, int size);
std::string GetClipboardFormatName(uint32_t format);

// Fails while the clipboard is open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();  // requires the clipboard open; frees every block it holds
// Takes ownership: an HGLOBAL for memory formats, an HBITMAP for CF_BITMAP. Requires the
// clipboard open. Returns the handle, or null on failure.
HANDLE SetClipboardData(uint32_t format, HANDLE data);
// The clipboard keeps ownership. CF_TEXT and CF_UNICODETEXT are converted from each other.
HANDLE GetClipboardData(uint32_t format);
BOOL IsClipboardFormatAvailable(uint32_t format);
int CountClipboardFormats();
uint32_t EnumClipboardFormats(uint32_t format);
HWND GetClipboardOwner();
// Changes with every emptying and every format set.
DWORD GetClipboardSequenceNumber();
HWND GetOpenClipboardWindow();
bool IsClipboardOpen();

}  // namespace epc
