// The framework's clipboard object over the in-process clipboard.

#include "platform/controls/Clipbrd.h"

#include <cstring>

#include "platform/controls/ControlsState.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"

namespace epc {

TClipboard* Clipboard() {
    return &ControlsState().ClipboardObject;
}

void TClipboard::Open() {
    if (FOpenRefCount == 0) {
        if (!OpenClipboard(Application ? Application->Handle() : nullptr))
            throw Exception("Cannot open clipboard");
        FEmptied = false;
    }
    ++FOpenRefCount;
}

void TClipboard::Close() {
    if (FOpenRefCount == 0) return;
    if (--FOpenRefCount == 0) CloseClipboard();
}

void TClipboard::Clear() {
    Open();
    EmptyClipboard();
    Close();
}

void TClipboard::Adding() {
    if (FOpenRefCount != 0 && !FEmptied) {
        Clear();
        FEmptied = true;
    }
}

void TClipboard::SetBuffer(uint32_t format, const void* buffer, size_t size) {
    Open();
    auto close = Finally([this] { Close(); });
    Adding();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!h) throw EOutOfMemory("Out of memory");
    if (size) std::memcpy(GlobalLock(h), buffer, size);
    GlobalUnlock(h);
    SetClipboardData(format, h);
}

std::string TClipboard::GetBuffer(uint32_t format) {
    Open();
    std::string out;
    auto h = static_cast<HGLOBAL>(GetClipboardData(format));
    if (h && format != CF_BITMAP) {
        auto* p = static_cast<const char*>(GlobalLock(h));
        if (p) out.assign(p, GlobalSize(h));
        GlobalUnlock(h);
    }
    Close();
    return out;
}

std::string TClipboard::AsText() {
    std::string bytes = GetBuffer(CF_TEXT);
    size_t nul = bytes.find('\0');
    return nul == std::string::npos ? bytes : bytes.substr(0, nul);
}

void TClipboard::SetAsText(const std::string& value) { SetBuffer(CF_TEXT, value.c_str(), value.size() + 1); }

std::u16string TClipboard::AsWideText() {
    std::u16string w = BytesToWide(GetBuffer(CF_UNICODETEXT));
    size_t nul = w.find(u'\0');
    return nul == std::u16string::npos ? w : w.substr(0, nul);
}

void TClipboard::SetAsWideText(const std::u16string& value) {
    std::string bytes = WideToBytes(value);
    bytes.append(2, '\0');
    SetBuffer(CF_UNICODETEXT, bytes.data(), bytes.size());
}

HANDLE TClipboard::GetAsHandle(uint32_t format) {
    Open();
    HANDLE h = GetClipboardData(format);
    Close();
    return h;
}

void TClipboard::SetAsHandle(uint32_t format, HANDLE value) {
    Open();
    auto close = Finally([this] { Close(); });
    Adding();
    SetClipboardData(format, value);
}

// A 32-bit copy of any bitmap handle, read through its bits (the source may be selected into
// a context of its own).
static HBITMAP CopyBitmapHandle(HBITMAP src) {
    TBitmapBits s = GetBitmapBits(src);
    if (!s.Bits || s.Width <= 0 || s.Height <= 0) return nullptr;
    BITMAPINFO info = TopDownBitmapInfo(s.Width, s.Height);
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!copy) return nullptr;
    TBitmapBits d = GetBitmapBits(copy);
    if (s.BitsPerPixel == 32) {
        for (int y = 0; y < s.Height; ++y)
            std::memcpy(d.Bits + size_t(y) * size_t(d.Stride), s.Bits + size_t(y) * size_t(s.Stride),
                        size_t(s.Width) * 4);
    } else {
        BITMAPINFO want = TopDownBitmapInfo(s.Width, s.Height);
        GetDIBits(nullptr, src, 0, UINT(s.Height), d.Bits, &want, DIB_RGB_COLORS);
    }
    return copy;
}

void TClipboard::Assign(TPersistent* source) {
    if (auto* picture = dynamic_cast<TPicture*>(source)) {
        Assign(picture->Graphic());
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
        HBITMAP copy = CopyBitmapHandle(bitmap->Handle());
        if (!copy) throw EInvalidGraphic("Invalid image");
        SetAsHandle(CF_BITMAP, copy);
        return;
    }
    if (auto* metafile = dynamic_cast<TMetafile*>(source)) {
        const std::string& data = metafile->Data();
        SetBuffer(CF_METAFILEPICT, data.data(), data.size());
        return;
    }
    TPersistent::Assign(source);
}

void TClipboard::AssignTo(TPersistent* dest) {
    auto* picture = dynamic_cast<TPicture*>(dest);
    auto* bitmap = dynamic_cast<TBitmap*>(dest);
    if (picture || bitmap) {
        if (HasFormat(CF_BITMAP)) {
            auto h = static_cast<HBITMAP>(GetAsHandle(CF_BITMAP));
            HBITMAP copy = h ? CopyBitmapHandle(h) : nullptr;
            if (!copy) throw EInvalidGraphic("Invalid image");
            TBitmap* target = bitmap ? bitmap : picture->Bitmap();
            target->SetHandle(copy);
            return;
        }
        if (picture && HasFormat(CF_METAFILEPICT)) {
            auto metafile = std::make_unique<TMetafile>();
            metafile->LoadFromString(GetBuffer(CF_METAFILEPICT));
            picture->TakeGraphic(std::move(metafile));
            return;
        }
        throw EConvertError("Cannot assign a TClipboard to a " + dest->ClassName());
    }
    TPersistent::AssignTo(dest);
}

}  // namespace epc
