// The hint window and the drag image.

#include "components/tree/VTHintWindow.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/TreeUnit.h"
#include "components/tree/VirtualDrawTree.h"
#include "platform/controls/Forms.h"
#include "platform/core/Strings.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Window.h"

namespace epc {

namespace {

std::atomic<int> gHintWindows{0};

uint32_t* Row(TBitmap& b, int y) {
    return reinterpret_cast<uint32_t*>(b.ScanLine(y));
}

// Shadow strength of the five strips, outermost first.
constexpr int ShadowAlphas[HintShadowSize] = {5, 10, 20, 35, 50};

} // namespace

void DrawHintShadow(TBitmap& bitmap, const TRect& r) {
    const int w = bitmap.Width(), h = bitmap.Height();
    for (int i = 0; i < HintShadowSize; ++i) {
        const int alpha = ShadowAlphas[HintShadowSize - 1 - i];
        // Right strip: column r.Right - 5 + i, from 5 pixels below the top to the bottom.
        const int x = r.Right - HintShadowSize + i;
        if (x >= 0 && x < w)
            for (int y = std::max(0, r.Top + HintShadowSize); y < std::min(h, r.Bottom); ++y)
                AlphaBlendLineMasterAndColor(Row(bitmap, y) + x, 1, alpha, 0xFF000000);
        // Bottom strip: row r.Bottom - 5 + i, from 5 pixels right of the left edge to the
        // right strip's start, so that the corner is darkened once.
        const int y = r.Bottom - HintShadowSize + i;
        if (y >= 0 && y < h) {
            const int from = std::max(0, r.Left + HintShadowSize);
            const int to = std::min(w, r.Right - HintShadowSize);
            if (to > from)
                AlphaBlendLineMasterAndColor(Row(bitmap, y) + from, to - from, alpha, 0xFF000000);
        }
    }
}

// ---- Hint window ---------------------------------------------------------------------------

TVirtualTreeHintWindow::TVirtualTreeHintWindow(TComponent* owner)
    : THintWindow(owner), FBackground(std::make_unique<TBitmap>(0, 0, pf32bit)),
      FDrawBuffer(std::make_unique<TBitmap>(0, 0, pf32bit)),
      FTarget(std::make_unique<TBitmap>(0, 0, pf32bit)) {
    ++gHintWindows;
}

TVirtualTreeHintWindow::~TVirtualTreeHintWindow() {
    --gHintWindows;
}

bool TVirtualTreeHintWindow::HintWindowExists() {
    return gHintWindows > 0;
}

void TVirtualTreeHintWindow::CreateParams(TCreateParams& params) {
    THintWindow::CreateParams(params);
    params.Style = WS_POPUP;
    params.ExStyle &= ~uint32_t(WS_EX_CLIENTEDGE);
}

TRect TVirtualTreeHintWindow::CalcHintRect(int maxWidth, const std::string& hint, void* data) {
    FHintData = data ? *static_cast<TVTHintData*>(data) : TVTHintData();
    TBaseVirtualTree* tree = FHintData.Tree;
    TCanvas* canvas = FDrawBuffer->Canvas();
    FBidiMode = bdLeftToRight;
    FAlignment = taLeftJustify;
    if (tree) {
        TVTHeader* header = tree->Header();
        if (header && header->Columns()->IsValidColumn(FHintData.Column)) {
            FBidiMode = header->Columns()->Items(FHintData.Column)->BiDiMode();
            FAlignment = header->Columns()->Items(FHintData.Column)->Alignment();
        } else {
            FBidiMode = tree->BiDiMode();
        }
    }
    TRect r(0, 0, std::max(1, maxWidth), 0);
    if (tree && FHintData.Node && tree->HintMode() == TVTHintMode::hmTooltip) {
        // A tooltip repeats the node's text in the tree's font, over its text rectangle.
        TRect textRect;
        std::u16string text;
        tree->GetTextInfo(FHintData.Node, FHintData.Column, canvas->Font(), textRect, text);
        FHintData.HintText = text;
        r = textRect;
        InflateRect(r, 1, 1);
        OffsetRect(r, -r.Left, -r.Top);
    } else {
        if (Screen) canvas->Font()->Assign(Screen->HintFont());
        // The tree hands the hint over as Unicode; a bare hint string is ANSI text.
        std::u16string text = FHintData.HintText.empty() ? AnsiToWide(hint) : FHintData.HintText;
        if (text.empty() && tree && FHintData.Node)
            text = tree->DoGetNodeHint(FHintData.Node, FHintData.Column);
        if (text.empty()) text = FHintData.DefaultHint;
        FHintData.HintText = text;
        RECT measure = r;
        HDC dc = canvas->Handle();
        DrawTextW(dc, text.data(), int(text.size()), &measure,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        r = measure;
        const int textMargin = tree ? tree->TextMargin() : 4;
        r.Right += 2 * textMargin + 2;
        r.Bottom += 6;
    }
    FTextHeight = r.Height();
    r.Right += HintShadowSize;
    r.Bottom += HintShadowSize;
    return r;
}

void TVirtualTreeHintWindow::ActivateHint(TRect rect, const std::string& hint) {
    TBaseVirtualTree* tree = FHintData.Tree;
    const bool refused = tree && (tree->TreeStates().Contains(TVirtualTreeState::tsScrolling) ||
                                  tree->TreeStates().Contains(TVirtualTreeState::tsWheelPanning));
    if (refused || rect.IsEmpty()) {
        if (Application) Application->CancelHint();
        return;
    }
    // Kept inside the work area, never above or left of it.
    const TRect wa = GetWorkArea();
    if (rect.Right > wa.Right) OffsetRect(rect, wa.Right - rect.Right, 0);
    if (rect.Bottom > wa.Bottom) OffsetRect(rect, 0, wa.Bottom - rect.Bottom);
    if (rect.Left < wa.Left) OffsetRect(rect, wa.Left - rect.Left, 0);
    if (rect.Top < wa.Top) OffsetRect(rect, 0, wa.Top - rect.Top);
    FBackground->SetSize(rect.Width(), rect.Height());
    FDrawBuffer->SetSize(rect.Width(), rect.Height());
    FTarget->SetSize(rect.Width(), rect.Height());
    // What lies under the hint, for the shadow to darken.
    HDC screen = GetDC(nullptr);
    BitBlt(FBackground->Canvas()->Handle(), 0, 0, rect.Width(), rect.Height(), screen, rect.Left,
           rect.Top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    THintWindow::ActivateHint(rect, hint);
    const THintAnimationType kind =
        tree ? tree->GetHintAnimationType() : THintAnimationType::hatNone;
    if (kind == THintAnimationType::hatFade || kind == THintAnimationType::hatSlide)
        AnimateIn(kind, tree->AnimationDuration());
}

void TVirtualTreeHintWindow::AnimateIn(THintAnimationType kind, Cardinal duration) {
    const int w = Width(), h = Height();
    if (w <= 0 || h <= 0) return;
    FTarget->SetSize(w, h);
    DrawHint(*FTarget);
    HDC dc = GetDC(Handle());
    if (!dc) return;
    HDC picture = FTarget->Canvas()->Handle();
    TBaseVirtualTree* tree = FHintData.Tree;
    auto running = [&] {
        return !tree || !tree->TreeStates().Contains(TVirtualTreeState::tsCancelHintAnimation);
    };
    if (kind == THintAnimationType::hatFade) {
        // From what lies under the hint to the hint, over twice the duration.
        TBitmap frame(w, h, pf32bit);
        HDC frameDC = frame.Canvas()->Handle();
        RunAnimation(255, 2 * duration, [&](Cardinal left) {
            if (left == 0 || !running()) return false;
            BitBlt(frameDC, 0, 0, w, h, FBackground->Canvas()->Handle(), 0, 0, SRCCOPY);
            BLENDFUNCTION blend;
            blend.SourceConstantAlpha = uint8_t(256 - left);
            AlphaBlend(frameDC, 0, 0, w, h, picture, 0, 0, w, h, blend);
            BitBlt(dc, 0, 0, w, h, frameDC, 0, 0, SRCCOPY);
            return true;
        });
    } else {
        // Unrolled from the top, a pixel row a step.
        RunAnimation(Cardinal(h), duration, [&](Cardinal left) {
            if (left == 0 || !running()) return false;
            const int rows = h - int(left) + 1;
            BitBlt(dc, 0, 0, w, rows, picture, 0, h - rows, SRCCOPY);
            return true;
        });
    }
    BitBlt(dc, 0, 0, w, h, picture, 0, 0, SRCCOPY);
    ReleaseDC(Handle(), dc);
}

void TVirtualTreeHintWindow::DrawHint(TBitmap& target) {
    const int w = target.Width(), h = target.Height();
    if (w <= 0 || h <= 0) return;
    TCanvas* canvas = target.Canvas();
    if (FBackground->Width() == w && FBackground->Height() == h)
        canvas->Draw(0, 0, FBackground.get());
    const TRect body(0, 0, w - HintShadowSize, h - HintShadowSize);
    canvas->Brush()->SetColor(clInfoBk);
    canvas->FillRect(body);
    canvas->Brush()->SetColor(clBlack);
    canvas->FrameRect(body);
    // A draw tree paints its node hints itself.
    if (auto* drawTree = dynamic_cast<TCustomVirtualDrawTree*>(FHintData.Tree);
        drawTree && FHintData.Node) {
        drawTree->DoDrawHint(canvas, FHintData.Node, body, FHintData.Column);
        DrawHintShadow(target, TRect(0, 0, w, h));
        return;
    }
    if (FDrawBuffer->Canvas()->Font()) canvas->Font()->Assign(FDrawBuffer->Canvas()->Font());
    canvas->Font()->SetColor(clInfoText);
    HDC dc = canvas->Handle();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(clInfoText));
    const int textMargin = FHintData.Tree ? FHintData.Tree->TextMargin() : 4;
    RECT text{body.Left + textMargin + 1, body.Top + 3, body.Right - textMargin - 1,
              body.Bottom - 3};
    if (FHintData.Tree && FHintData.Tree->HintMode() == TVTHintMode::hmTooltip)
        text = RECT{body.Left + 1, body.Top + 1, body.Right - 1, body.Bottom - 1};
    UINT format = DT_NOPREFIX | DT_WORDBREAK;
    if (FBidiMode != bdLeftToRight)
        format |= DT_RTLREADING | DT_RIGHT;
    else if (FAlignment == taRightJustify)
        format |= DT_RIGHT;
    else if (FAlignment == taCenter)
        format |= DT_CENTER;
    DrawTextW(dc, FHintData.HintText.data(), int(FHintData.HintText.size()), &text, format);
    DrawHintShadow(target, TRect(0, 0, w, h));
}

void TVirtualTreeHintWindow::Paint() {
    FTarget->SetSize(Width(), Height());
    DrawHint(*FTarget);
    BitBlt(Canvas()->Handle(), 0, 0, Width(), Height(), FTarget->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TVirtualTreeHintWindow::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CM_TEXTCHANGED:
    case WM_NCPAINT:
        return;
    case WM_ERASEBKGND:
        message.Result = 1;
        return;
    case WM_SHOWWINDOW:
        if (message.WParam == 0) FHintData = TVTHintData{};
        break;
    default:
        break;
    }
    THintWindow::WndProc(message);
}

// ---- Drag image ---------------------------------------------------------------------------

TVTDragImage::TVTDragImage(TBaseVirtualTree* owner) : FOwner(owner) {}

TVTDragImage::~TVTDragImage() = default;

HDC TVTDragImage::Surface() {
    return FSurface ? FSurface : GetDC(nullptr);
}

void TVTDragImage::ReleaseSurface(HDC dc) {
    if (dc != FSurface) ReleaseDC(nullptr, dc);
}

void TVTDragImage::PrepareDrag(TBitmap* image, TPoint imagePosition, TPoint hotSpot,
                               IDataObject* dataObject) {
    HideDragImage();
    FHelperShowsImage = false;
    if (!image || image->Width() <= 0 || image->Height() <= 0) return;
    const int w = image->Width(), h = image->Height();
    FDragImage = std::make_unique<TBitmap>(w, h, pf32bit);
    FDragImage->Canvas()->Draw(0, 0, image);
    FAlphaImage = std::make_unique<TBitmap>(w, h, pf32bit);
    FBackImage = std::make_unique<TBitmap>(w, h, pf32bit);
    FImagePosition = imagePosition;
    FHotSpot = hotSpot;
    // The alpha picture: fading falls off with the distance from the centre; the colour key
    // becomes fully transparent.
    const uint32_t key = FColorKey == clNone ? 0 : uint32_t(ColorToRGB(FColorKey));
    const double cx = w / 2.0, cy = h / 2.0;
    const double radius = std::sqrt(cx * cx + cy * cy);
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = Row(*FDragImage, y);
        uint32_t* dst = Row(*FAlphaImage, y);
        for (int x = 0; x < w; ++x) {
            uint32_t pixel = src[x] & 0xFFFFFF;
            int alpha = 255;
            if (FFade) {
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / radius;
                alpha = int(255.0 * std::exp(-3.0 * d * d));
            }
            // Pixels are B, G, R in memory; the key is an RGB value.
            const uint32_t rgb = ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
            if (FColorKey != clNone && rgb == key) alpha = 0;
            dst[x] = pixel | (uint32_t(alpha) << 24);
        }
    }
    if (dataObject) HandToDragSourceHelper(dataObject);
}

void TVTDragImage::HandToDragSourceHelper(IDataObject* dataObject) {
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDragSourceHelper, &object)) ||
        !object)
        return;
    TInterfaceRef<IDragSourceHelper> helper(static_cast<IDragSourceHelper*>(object));
    // The helper gets the picture with its alpha and takes it over when it accepts it.
    TBitmap picture(FAlphaImage->Width(), FAlphaImage->Height(), pf32bit);
    for (int y = 0; y < picture.Height(); ++y)
        std::copy_n(Row(*FAlphaImage, y), picture.Width(), Row(picture, y));
    SHDRAGIMAGE shellImage;
    shellImage.sizeDragImage = TSize(picture.Width(), picture.Height());
    shellImage.ptOffset = FHotSpot;
    shellImage.hbmpDragImage = picture.ReleaseHandle();
    // All bits set: no colour is keyed out.
    shellImage.crColorKey = FColorKey == clNone ? 0xFFFFFFFFu : COLORREF(ColorToRGB(FColorKey));
    if (SUCCEEDED(helper->InitializeFromBitmap(&shellImage, dataObject))) FHelperShowsImage = true;
    if (shellImage.hbmpDragImage) DeleteObject(reinterpret_cast<HGDIOBJ>(shellImage.hbmpDragImage));
}

void TVTDragImage::Capture(HDC dc) {
    BitBlt(FBackImage->Canvas()->Handle(), 0, 0, FBackImage->Width(), FBackImage->Height(), dc,
           FImagePosition.X, FImagePosition.Y, SRCCOPY);
}

void TVTDragImage::Restore(HDC dc) {
    BitBlt(dc, FImagePosition.X, FImagePosition.Y, FBackImage->Width(), FBackImage->Height(),
           FBackImage->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TVTDragImage::Blend(HDC dc) {
    // The picture is blended over the captured background in a work bitmap, then copied.
    const int w = FAlphaImage->Width(), h = FAlphaImage->Height();
    TBitmap work(w, h, pf32bit);
    work.Canvas()->Draw(0, 0, FBackImage.get());
    const bool master = FFade || FColorKey != clNone;
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = Row(*FAlphaImage, y);
        uint32_t* dst = Row(work, y);
        if (master)
            AlphaBlendLineMaster(src, dst, w, FTransparency, FPreBlendBias);
        else
            AlphaBlendLineConstant(src, dst, w, FTransparency, FPreBlendBias);
    }
    BitBlt(dc, FImagePosition.X, FImagePosition.Y, w, h, work.Canvas()->Handle(), 0, 0, SRCCOPY);
}

bool TVTDragImage::DragTo(TPoint p, bool forceRepaint) {
    if (!FAlphaImage || FHelperShowsImage) return false;
    const TPoint position(p.X - FHotSpot.X, p.Y - FHotSpot.Y);
    const bool moved = position.X != FImagePosition.X || position.Y != FImagePosition.Y;
    if (!moved && !forceRepaint) return false;
    if (!FVisible) {
        FImagePosition = position;
        return moved;
    }
    HDC dc = Surface();
    // Restoring the old place and capturing the new one covers both the overlapping and the
    // disjoint move.
    Restore(dc);
    FImagePosition = position;
    Capture(dc);
    Blend(dc);
    ReleaseSurface(dc);
    return moved;
}

void TVTDragImage::ShowDragImage() {
    if (FVisible || !FAlphaImage || FHelperShowsImage) return;
    HDC dc = Surface();
    Capture(dc);
    Blend(dc);
    ReleaseSurface(dc);
    FVisible = true;
}

void TVTDragImage::HideDragImage() {
    if (!FVisible) return;
    HDC dc = Surface();
    Restore(dc);
    ReleaseSurface(dc);
    FVisible = false;
}

void TVTDragImage::EndDrag() {
    HideDragImage();
    FHelperShowsImage = false;
    FDragImage.reset();
    FAlphaImage.reset();
    FBackImage.reset();
}

} // namespace epc
