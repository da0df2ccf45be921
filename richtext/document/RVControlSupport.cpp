// Embedded controls in RVF: controls are stored as component streams.

#include "richtext/document/RVControlSupport.h"
#include "platform/controls/Controls.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/HexText.h"
#include "platform/streaming/PropertyRegistry.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"

namespace epc {

std::string RVSaveControlStream(TComponent* control) {
    TMemoryStream ms;
    WriteComponent(ms, control);
    return ms.DataString();
}

TRVComponentPtr RVLoadControlStream(TStream& stream, const std::string& className) {
    TRVComponentPtr control;
    if (!RVFLoadControlStream(stream, control, className)) return nullptr;
    return control;
}

bool RVFLoadControlStream(TStream& stream, TRVComponentPtr& control, const std::string& className) {
    if (control) {
        ReadComponent(stream, control.get());
        return true;
    }
    if (!IsClassRegistered(className)) return false;
    // Held here until it is read in full: a stream error frees it.
    TRVComponentPtr made(CreateComponentByClassName(className, nullptr));
    ReadComponent(stream, made.get());
    control = std::move(made);
    return true;
}

int TRVControlItemInfo::GetBoxWidth() const {
    auto* c = dynamic_cast<TControl*>(Control.get());
    return (c ? c->Width() : Width) + 2 * Spacing;
}

int TRVControlItemInfo::GetBoxHeight() const {
    auto* c = dynamic_cast<TControl*>(Control.get());
    return (c ? c->Height() : Height) + 2 * Spacing;
}

void TRVControlItemInfo::SetPosition(int x, int y) {
    Left = x + Spacing;
    Top = y + Spacing;
    if (auto* c = dynamic_cast<TControl*>(Control.get()))
        if (c->Left() != Left || c->Top() != Top) c->SetBounds(Left, Top, c->Width(), c->Height());
}

bool TRVControlItemInfo::AsText(std::string& result, bool unicode, int, TCustomRVData* rvData,
                                int) const {
    if (!rvData) return false;
    result = rvData->SaveComponentToFile(std::string(), Control.get(), TRVSaveFormat::rvsfText);
    if (result.empty()) return false;
    if (unicode) result = AnsiToUnicodeCP(result, 0);
    return true;
}

void TRVControlItemInfo::ParentControl(TCustomRVData* rvData) {
    auto* c = dynamic_cast<TControl*>(Control.get());
    TWinControl* parent = rvData ? rvData->GetParentControl() : nullptr;
    if (c && parent && c->Parent() != parent) c->SetParent(parent);
}

void RVFSaveControlBinary(TStream& stream, TComponent* control) {
    int64_t start = stream.Position();
    stream.WriteInt32(0);
    WriteComponent(stream, control);
    int64_t end = stream.Position();
    stream.SetPosition(start);
    stream.WriteInt32(int32_t(end - start - 4));
    stream.SetPosition(end);
}

std::string RVFSaveControlHex(TComponent* control) {
    return ComponentToHex(control);
}

void RVFLoadControlBinary(const std::string& body, TRVComponentPtr& control,
                          const std::string& className) {
    TMemoryStream ms;
    ms.WriteString(body);
    ms.SetPosition(0);
    if (!RVFLoadControlStream(ms, control, className))
        throw EClassNotFound("Class " + className + " not found");
}

bool RVFLoadControlHex(const std::string& hex, TRVComponentPtr& control,
                       const std::string& className) {
    std::string bytes;
    if (!TryHexToBin(hex, bytes)) return false;
    RVFLoadControlBinary(bytes, control, className);
    return true;
}

} // namespace epc
