#pragma once
// Owners for cairo handles: each kind of handle is released by its own destroy call.

#include <cairo.h>

#include <memory>

namespace epc {

template <typename T, void (*Destroy)(T*)> struct TCairoDeleter {
    void operator()(T* handle) const { Destroy(handle); }
};

template <typename T, void (*Destroy)(T*)>
using TCairoOwner = std::unique_ptr<T, TCairoDeleter<T, Destroy>>;

using TCairoContext = TCairoOwner<cairo_t, cairo_destroy>;
using TCairoSurface = TCairoOwner<cairo_surface_t, cairo_surface_destroy>;
using TCairoFontFace = TCairoOwner<cairo_font_face_t, cairo_font_face_destroy>;
using TCairoScaledFont = TCairoOwner<cairo_scaled_font_t, cairo_scaled_font_destroy>;
using TCairoFontOptions = TCairoOwner<cairo_font_options_t, cairo_font_options_destroy>;

} // namespace epc
