// Embedded controls in RVF: controls are stored as component streams.

#include "platform/controls/Controls.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/HexText.h"
#include "platform/streaming/PropertyRegistry.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVFuncs.h"

namespace epc {

TRVControlHooks& RVControlHooks() {
    static TRVControlHooks hooks = [] {
        TRVControlHooks h;
        h.Save = [](TStream& stream, TComponent* control) { WriteComponent(stream, control); };
        h.Load = [](const std::string& className, TStream& stream, TCustomRVData*) -> TComponent* {
            TComponent* control = nullptr;
            if (!RVFLoadControlStream(stream, control, className)) return nullptr;
            return control;
        };
        return h;
    }();
    return hooks;
}

bool RVFLoadControlStream(TStream& stream, TComponent*& control, const std::string& className) {
    bool created = false;
    if (!control) {
        if (!IsClassRegistered(className)) return false;
        control = CreateComponentByClassName(className, nullptr);
        created = true;
    }
    try {
        ReadComponent(stream, control);
    } catch (...) {
        if (created) {
            FreeComponent(control);
            control = nullptr;
        }
        throw;
    }
    return true;
}

int TRVControlItemInfo::GetBoxWidth() const {
    auto* c = dynamic_cast<TControl*>(Control);
    return (c ? c->Width() : Width) + 2 * Spacing;
}

int TRVControlItemInfo::GetBoxHeight() const {
    auto* c = dynamic_cast<TControl*>(Control);
    return (c ? c->Height() : Height) + 2 * Spacing;
}

void TRVControlItemInfo::SetPosition(int x, int y) {
    Left = x + Spacing;
    Top = y + Spacing;
    if (auto* c = dynamic_cast<TControl*>(Control))
        if (c->Left() != Left || c->Top() != Top) c->SetBounds(Left, Top, c->Width(), c->Height());
}

void TRVControlItemInfo::ParentControl(TCustomRVData* rvData) {
    auto* c = dynamic_cast<TControl*>(Control);
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

void RVFLoadControlBinary(const std::string& body, TComponent*& control,
                          const std::string& className) {
    TMemoryStream ms;
    ms.WriteString(body);
    ms.SetPosition(0);
    if (!RVFLoadControlStream(ms, control, className))
        throw EClassNotFound("Class " + className + " not found");
}

bool RVFLoadControlHex(const std::string& hex, TComponent*& control, const std::string& className) {
    std::string bytes;
    if (!TryHexToBin(hex, bytes)) return false;
    RVFLoadControlBinary(bytes, control, className);
    return true;
}

} // namespace epc
