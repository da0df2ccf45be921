#pragma once
// The framework's clipboard object: text, any format as a handle or a buffer, and pictures.

#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/windows/Clipboard.h"

namespace epc {

class TClipboard : public TPersistent {
public:
    std::string ClassName() const override { return "TClipboard"; }

    // Open and Close nest; the first change inside an Open/Close pair empties the clipboard,
    // later ones add formats. Raises Exception "Cannot open clipboard" when it is busy.
    void Open();
    void Close();
    void Clear();
    bool HasFormat(uint32_t format) const { return IsClipboardFormatAvailable(format) != 0; }
    int FormatCount() const { return CountClipboardFormats(); }

    // CF_TEXT (the UTF-16 form follows by conversion).
    std::string AsText();
    void SetAsText(const std::string& value);
    std::u16string AsWideText();
    void SetAsWideText(const std::u16string& value);
    HANDLE GetAsHandle(uint32_t format);
    void SetAsHandle(uint32_t format, HANDLE value);
    // Copies bytes into a new memory block of the format.
    void SetBuffer(uint32_t format, const void* buffer, size_t size);
    std::string GetBuffer(uint32_t format);

    // Pictures: a TBitmap goes as CF_BITMAP, a TMetafile as CF_METAFILEPICT (its bytes);
    // a TPicture as its graphic. Other sources raise the conversion error.
    void Assign(TPersistent* source) override;

protected:
    // Fills a TPicture or TBitmap from CF_BITMAP (a TPicture also from CF_METAFILEPICT).
    void AssignTo(TPersistent* dest) override;

private:
    void Adding();
    int FOpenRefCount = 0;
    bool FEmptied = false;
};

// The process's clipboard object.
TClipboard* Clipboard();

}  // namespace epc
