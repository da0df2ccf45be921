// The window layer's hot paths: posting and pumping messages, the invalidate-and-paint cycle
// of a control, scrolling pixels, and composing a form's picture.

#include <benchmark/benchmark.h>

#include "platform/context/PlatformContext.h"
#include "platform/controls/Controls.h"
#include "platform/controls/Forms.h"
#include "platform/testing/UserActions.h"

namespace {

using namespace epc;

class TFilled : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(clWhite);
        Canvas()->FillRect(ClientRect());
    }
};

struct TScene {
    epc::TPlatformContext Context; // made first, gone last: frees the form and its windows
    TForm* Form;
    TFilled* View;
    TScene() {
        Form = new TForm(nullptr);
        Form->SetBounds(0, 0, 640, 480);
        View = new TFilled(Form);
        View->SetParent(Form);
        View->SetAlign(alClient);
        epc::testing::ShowForm(Form);
    }
};

void BM_PostAndPump(benchmark::State& state) {
    TScene scene;
    HWND h = scene.View->Handle();
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) PostMessage(h, WM_USER + 1, WPARAM(i), 0);
        ProcessMessages();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_PostAndPump);

void BM_SendMessage(benchmark::State& state) {
    TScene scene;
    HWND h = scene.View->Handle();
    for (auto _ : state) benchmark::DoNotOptimize(SendMessage(h, WM_GETDLGCODE, 0, 0));
}
BENCHMARK(BM_SendMessage);

void BM_InvalidateAndPaint(benchmark::State& state) {
    TScene scene;
    for (auto _ : state) {
        scene.View->Invalidate();
        ProcessMessages();
    }
}
BENCHMARK(BM_InvalidateAndPaint);

void BM_ScrollWindow(benchmark::State& state) {
    TScene scene;
    HWND h = scene.View->Handle();
    for (auto _ : state) {
        ScrollWindowEx(h, 0, -16, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
        ValidateRect(h, nullptr);
    }
}
BENCHMARK(BM_ScrollWindow);

void BM_ComposeForm(benchmark::State& state) {
    TScene scene;
    for (auto _ : state) benchmark::DoNotOptimize(ComposeWindowPixels(scene.Form->Handle()));
}
BENCHMARK(BM_ComposeForm);

}  // namespace

BENCHMARK_MAIN();
