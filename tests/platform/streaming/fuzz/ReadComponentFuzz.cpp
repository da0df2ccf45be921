// Reads arbitrary bytes as a component stream, both into a given component and into one made
// from the stream's class name, and as hexadecimal text. Bad input must end in EReadError.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Exceptions.h"
#include "platform/streaming/Filer.h"
#include "platform/streaming/HexText.h"
#include "tests/platform/streaming/TestComponents.h"

using namespace epc;
using namespace epc::testing;

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    RegisterTestComponents();
    TTestWidget root(nullptr);
    root.SetName("Root");
    root.SetWidth(40000);
    root.SetAlign(TAlign::alBottom);
    root.SetOptions(TOpts{TOpt::oB, TOpt::oC});
    root.SetVisible(false);
    root.SetColor(0x123456);
    root.SetCaption("caption");
    root.SetHint(u"hint");
    root.Font()->SetColor(clRed);
    root.Points = {1, -300, 70000};
    root.Blob = "blob";
    root.Items()->Add();
    auto* child = new TTestPanel(&root);
    child->SetName("Child");
    child->SetParentComponent(&root);
    child->SetBuddy(&root);
    TMemoryStream stream;
    WriteComponent(stream, &root);
    seeds.push_back(stream.DataString());
    TTestWidget plain(nullptr);
    TMemoryStream small;
    WriteComponent(small, &plain);
    seeds.push_back(small.DataString());
    TTestCarrier carrier(nullptr);
    carrier.Values = {1, 2, 300};
    TMemoryStream nested;
    WriteComponent(nested, &carrier);
    seeds.push_back(nested.DataString());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegisterTestComponents();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        TTestWidget target(nullptr);
        TStringStream in(bytes);
        ReadComponent(in, &target);
    } catch (const EReadError&) {
    }
    try {
        TStringStream in(bytes);
        std::unique_ptr<TComponent> made(ReadComponent(in, nullptr));
    } catch (const EReadError&) {
    }
    try {
        TTestWidget target(nullptr);
        HexToComponent(bytes, &target);
    } catch (const EReadError&) {
    }
    return 0;
}
