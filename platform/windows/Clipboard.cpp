// The in-process clipboard and its memory blocks.

#include "platform/windows/Clipboard.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/core/Strings.h"
#include "platform/windows/WindowsState.h"

namespace epc {

namespace {

TClipboardState& CB() {
    return WindowsState().Clipboard;
}

// Registered format names (id 0xC000 + index) are the process's, as the system keeps them:
// components cache the numbers they were given.
std::vector<std::string>& FormatNames() {
    static std::vector<std::string> names;
    return names;
}

TGlobalBlock* LiveBlock(HGLOBAL block) {
    if (!block) return nullptr;
    auto& blocks = CB().Blocks;
    auto it = blocks.find(block);
    return it == blocks.end() ? nullptr : it->second.get();
}

bool IsLive(HGLOBAL block) { return LiveBlock(block) != nullptr; }

void FreeHandle(uint32_t format, HANDLE h) {
    if (!h) return;
    if (format == CF_BITMAP || format == CF_PALETTE)
        DeleteObject(static_cast<HGDIOBJ>(h));
    else if (IsLive(static_cast<HGLOBAL>(h)))
        GlobalFree(static_cast<HGLOBAL>(h));
}

void ClearSynthesized() {
    for (auto& [f, h] : CB().Synthesized) FreeHandle(f, h);
    CB().Synthesized.clear();
}

HANDLE Find(const std::vector<std::pair<uint32_t, HANDLE>>& list, uint32_t format) {
    for (auto& [f, h] : list)
        if (f == format) return h;
    return nullptr;
}

HGLOBAL BlockOf(const void* bytes, size_t n) {
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, n);
    if (!g) return nullptr;
    std::memcpy(GlobalLock(g), bytes, n);
    GlobalUnlock(g);
    return g;
}

}  // namespace

// ---- Memory blocks ---------------------------------------------------------------------------

HGLOBAL GlobalAlloc(uint32_t, size_t bytes) {
    auto& s = CB();
    if (s.FailAfter == 0) {
        s.FailAfter = -1;
        return nullptr;
    }
    if (s.FailAfter > 0) --s.FailAfter;
    auto record = std::make_unique<TGlobalBlock>();
    record->Data.assign(bytes, 0);  // always zeroed: deterministic contents
    // Block handles count up across the whole process and are never handed out twice.
    static uintptr_t nextBlock = 0x10000;
    HGLOBAL block = reinterpret_cast<HGLOBAL>(nextBlock);
    nextBlock += 16;
    s.Blocks.emplace(block, std::move(record));
    return block;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, uint32_t) {
    TGlobalBlock* record = LiveBlock(block);
    if (!record) return nullptr;
    record->Data.resize(bytes, 0);
    return block;
}

void* GlobalLock(HGLOBAL block) {
    TGlobalBlock* record = LiveBlock(block);
    if (!record) return nullptr;
    ++record->Locks;
    // A zero-size block still gives a distinct address.
    if (record->Data.empty()) record->Data.reserve(1);
    return record->Data.data() ? static_cast<void*>(record->Data.data())
                               : static_cast<void*>(record);
}

BOOL GlobalUnlock(HGLOBAL block) {
    TGlobalBlock* record = LiveBlock(block);
    if (!record || record->Locks == 0) return 0;
    --record->Locks;
    return record->Locks > 0;
}

size_t GlobalSize(HGLOBAL block) {
    TGlobalBlock* record = LiveBlock(block);
    return record ? record->Data.size() : 0;
}

HGLOBAL CopyGlobalBlock(HGLOBAL block) {
    size_t n = GlobalSize(block);
    HGLOBAL out = GlobalAlloc(GMEM_MOVEABLE, n);
    if (!out) return nullptr;
    void* from = GlobalLock(block);
    void* to = GlobalLock(out);
    if (n && from && to) std::memcpy(to, from, n);
    GlobalUnlock(out);
    GlobalUnlock(block);
    return out;
}

HGLOBAL GlobalFree(HGLOBAL block) {
    if (!block) return nullptr;
    auto& blocks = CB().Blocks;
    auto it = blocks.find(block);
    if (it == blocks.end()) return block;
    std::unique_ptr<TGlobalBlock> record = std::move(it->second);
    blocks.erase(it);
    return nullptr;
}

int LiveGlobalBlockCount() { return int(CB().Blocks.size()); }

// ---- Formats ---------------------------------------------------------------------------------

uint32_t RegisterClipboardFormatA(const char* name) {
    if (!name || !*name) return 0;
    auto& names = FormatNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (SameText(names[i], name)) return uint32_t(0xC000 + i);
    if (names.size() >= 0x3FFF) return 0;
    names.push_back(name);
    return uint32_t(0xC000 + names.size() - 1);
}

std::string GetClipboardFormatName(uint32_t format) {
    auto& names = FormatNames();
    if (format < 0xC000 || format - 0xC000 >= names.size()) return {};
    return names[format - 0xC000];
}

int GetClipboardFormatNameA(uint32_t format, char* buffer, int size) {
    std::string name = GetClipboardFormatName(format);
    if (name.empty() || !buffer || size <= 0) return 0;
    size_t n = std::min(name.size(), size_t(size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = 0;
    return int(n);
}

// ---- The clipboard ---------------------------------------------------------------------------

BOOL OpenClipboard(HWND owner) {
    auto& s = CB();
    if (s.Open) return 0;
    s.Open = true;
    s.OpenWindow = owner;
    return 1;
}

BOOL CloseClipboard() {
    auto& s = CB();
    if (!s.Open) return 0;
    s.Open = false;
    s.OpenWindow = nullptr;
    return 1;
}

BOOL EmptyClipboard() {
    auto& s = CB();
    if (!s.Open) return 0;
    for (auto& [f, h] : s.Data) FreeHandle(f, h);
    s.Data.clear();
    ClearSynthesized();
    s.Owner = s.OpenWindow;
    ++s.Sequence;
    return 1;
}

HANDLE SetClipboardData(uint32_t format, HANDLE data) {
    auto& s = CB();
    if (!s.Open || format == 0) return nullptr;
    ClearSynthesized();
    ++s.Sequence;
    for (auto& entry : s.Data)
        if (entry.first == format) {
            if (entry.second != data) FreeHandle(format, entry.second);
            entry.second = data;
            return data;
        }
    s.Data.emplace_back(format, data);
    return data;
}

HANDLE GetClipboardData(uint32_t format) {
    auto& s = CB();
    if (!s.Open) return nullptr;
    if (HANDLE h = Find(s.Data, format)) return h;
    if (HANDLE h = Find(s.Synthesized, format)) return h;
    // Text is converted between the ANSI and the UTF-16 form, each cut at its NUL.
    if (format == CF_UNICODETEXT || format == CF_TEXT || format == CF_OEMTEXT) {
        HGLOBAL src = nullptr;
        uint32_t from = 0;
        for (uint32_t f : {uint32_t(CF_UNICODETEXT), uint32_t(CF_TEXT), uint32_t(CF_OEMTEXT)})
            if (f != format && (src = static_cast<HGLOBAL>(Find(s.Data, f)))) {
                from = f;
                break;
            }
        TGlobalBlock* record = LiveBlock(src);
        if (!record) return nullptr;
        const uint8_t* bytes = record->Data.data();
        size_t n = record->Data.size();
        HGLOBAL out = nullptr;
        if (from == CF_UNICODETEXT) {
            std::u16string w;
            for (size_t i = 0; i + 1 < n; i += 2) {
                char16_t c = char16_t(bytes[i] | (bytes[i + 1] << 8));
                if (!c) break;
                w.push_back(c);
            }
            std::string a = WideToAnsi(w);
            out = BlockOf(a.c_str(), a.size() + 1);
        } else {
            std::string a(reinterpret_cast<const char*>(bytes), strnlen(reinterpret_cast<const char*>(bytes), n));
            std::u16string w = AnsiToWide(a);
            w.push_back(0);
            std::string le = WideToBytes(w);
            out = BlockOf(le.data(), le.size());
        }
        if (out) s.Synthesized.emplace_back(format, out);
        return out;
    }
    return nullptr;
}

BOOL IsClipboardFormatAvailable(uint32_t format) {
    auto& s = CB();
    if (Find(s.Data, format)) return 1;
    bool text = Find(s.Data, CF_TEXT) || Find(s.Data, CF_UNICODETEXT) || Find(s.Data, CF_OEMTEXT);
    if ((format == CF_TEXT || format == CF_UNICODETEXT || format == CF_OEMTEXT) && text) return 1;
    return 0;
}

int CountClipboardFormats() { return int(CB().Data.size()); }

uint32_t EnumClipboardFormats(uint32_t format) {
    auto& d = CB().Data;
    if (format == 0) return d.empty() ? 0 : d.front().first;
    for (size_t i = 0; i + 1 < d.size(); ++i)
        if (d[i].first == format) return d[i + 1].first;
    return 0;
}

HWND GetClipboardOwner() { return CB().Owner; }
DWORD GetClipboardSequenceNumber() { return CB().Sequence; }
HWND GetOpenClipboardWindow() { return CB().Open ? CB().OpenWindow : nullptr; }
bool IsClipboardOpen() { return CB().Open; }

void ShutDownClipboard() {
    auto& s = CB();
    for (auto& [f, h] : s.Data) FreeHandle(f, h);
    s.Data.clear();
    ClearSynthesized();
}

}  // namespace epc
