#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/ImageFormats.h"
#include "platform/graphics/PngImage.h"

namespace epc {

namespace {

struct TGraphicClassEntry {
    std::string ClassName;
    std::string Extension; // lower case, without the dot
    std::string Description;
    TGraphicFactory Factory;
};

std::string NormalExtension(const std::string& extension) {
    std::string e = extension;
    if (!e.empty() && e[0] == '.') e.erase(0, 1);
    return LowerCase(e);
}

struct TGraphicRegistry {
    std::mutex Lock;
    std::vector<TGraphicClassEntry> Entries;

    TGraphicRegistry() {
        // Built in, so that a stored picture of any of these classes can always be read.
        Add("TBitmap", "bmp", "Bitmaps", [] { return std::make_unique<TBitmap>(); });
        Add("TIcon", "ico", "Icons", [] { return std::make_unique<TIcon>(); });
        Add("TMetafile", "emf", "Enhanced Metafiles", [] { return std::make_unique<TMetafile>(); });
        Add("TMetafile", "wmf", "Metafiles", [] { return std::make_unique<TMetafile>(); });
        Add("TPngImage", "png", "Portable Network Graphics",
            [] { return std::make_unique<TPngImage>(); });
        Add("TJPEGImage", "jpg", "JPEG Image File", [] { return std::make_unique<TJPEGImage>(); });
        Add("TJPEGImage", "jpeg", "JPEG Image File", [] { return std::make_unique<TJPEGImage>(); });
        Add("TGIFImage", "gif", "GIF Image", [] { return std::make_unique<TGIFImage>(); });
    }

    void Add(const std::string& className, const std::string& extension,
             const std::string& description, const TGraphicFactory& factory) {
        std::string ext = NormalExtension(extension);
        // A new registration for an extension replaces the old one.
        if (!ext.empty())
            std::erase_if(Entries, [&](const TGraphicClassEntry& e) { return e.Extension == ext; });
        Entries.push_back({className, ext, description, factory});
    }

    const TGraphicClassEntry* FindClass(const std::string& className) {
        for (auto it = Entries.rbegin(); it != Entries.rend(); ++it)
            if (SameText(it->ClassName, className)) return &*it;
        return nullptr;
    }
};

TGraphicRegistry& Registry() {
    static TGraphicRegistry registry;
    return registry;
}

} // namespace

void RegisterGraphicClass(const std::string& className, const std::string& extension,
                          const TGraphicFactory& factory, const std::string& description) {
    if (className.empty() || !factory) return;
    auto& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    r.Add(className, extension, description, factory);
}

void UnregisterGraphicClass(const std::string& className) {
    auto& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    std::erase_if(r.Entries,
                  [&](const TGraphicClassEntry& e) { return SameText(e.ClassName, className); });
}

bool IsGraphicClassRegistered(const std::string& className) {
    auto& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    return r.FindClass(className) != nullptr;
}

std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className) {
    TGraphicFactory factory;
    {
        auto& r = Registry();
        std::lock_guard<std::mutex> guard(r.Lock);
        const TGraphicClassEntry* e = r.FindClass(className);
        if (!e) return nullptr;
        factory = e->Factory;
    }
    return factory();
}

std::string FindGraphicClassByExtension(const std::string& extension) {
    std::string ext = NormalExtension(extension);
    if (ext.empty()) return "";
    auto& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (const auto& e : r.Entries)
        if (e.Extension == ext) return e.ClassName;
    return "";
}

std::unique_ptr<TGraphic> CreateGraphicByExtension(const std::string& extension) {
    std::string className = FindGraphicClassByExtension(extension);
    return className.empty() ? nullptr : CreateGraphicByClassName(className);
}

std::string GraphicClassForData(const uint8_t* data, size_t size) {
    switch (DetectImageFormat(data, size)) {
    case TImageFormat::Png:
        return "TPngImage";
    case TImageFormat::Jpeg:
        return "TJPEGImage";
    case TImageFormat::Gif:
        return "TGIFImage";
    case TImageFormat::Bmp:
        return "TBitmap";
    default:
        break;
    }
    if (size >= 6 && data[0] == 0 && data[1] == 0 && (data[2] == 1 || data[2] == 2) &&
        data[3] == 0 && (data[4] | data[5]))
        return "TIcon";
    if (size >= 44 && data[0] == 1 && data[1] == 0 && data[2] == 0 && data[3] == 0 &&
        data[40] == ' ' && data[41] == 'E' && data[42] == 'M' && data[43] == 'F')
        return "TMetafile";
    if (size >= 4 && data[0] == 0xD7 && data[1] == 0xCD && data[2] == 0xC6 && data[3] == 0x9A)
        return "TMetafile";
    return "";
}

} // namespace epc
