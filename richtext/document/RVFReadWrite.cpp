// RVF: the document's stored form.
//
// Layout. Text lines end with CR LF (a lone LF is accepted on reading). A document is a
// sequence of records; each record starts with a header line of seven fields separated by
// single spaces ("%d %d %s %d %d %s %s"):
//
//   StyleNo LineCount ParaRef Options Mode Tag Extra
//
//   StyleNo    the item's StyleNo (>= 0 text style; negative item kinds), or -2 for a
//              document record.
//   LineCount  lines after the header that belong to the record; a binary body is one line.
//   ParaRef    paragraph style number, or its quoted name (rvfoUseStyleNames); for a
//              document record its keyword.
//   Options    item option bits 0..3.
//   Mode       body mode: 0 text lines, 1 hex text, 2 binary (little-endian int32 length,
//              then that many bytes, no line end).
//   Tag        decimal number, or a quoted string; "0" for an empty tag.
//   Extra      the rest of the line: the item's own header fields (numbers).
//
// Quoted strings use '"', doubled inside; backslash, CR and LF inside are written as \\, \r
// and \n, so no string can break a line or a header. Name lines escape the same three bytes.
//
// Item records:
//   text (>= 0)        1 line: mode 0 the escaped bytes, mode 1 hex of the bytes (Unicode
//                      items in text files), mode 2 binary.
//   break (-1)         Extra "Color Width Style"; 1 line: the name.
//   rectangle items    Extra starts "VAlign Spacing VShift VShiftAbs MinHeightOnPage", then:
//     picture (-3), hot picture (-10)  "ImageWidth ImageHeight"; 3 lines: name, picture class
//                                      name, picture data (hex or binary; empty for none).
//     control (-5)     "Width Height"; 3 lines: name, class name, component stream.
//     bullet (-6)      "ImageIndex ImageListTag"; hotspot (-4) also "HotImageIndex"; 1 line.
//     marker (-11)     "ListNo Level StartFrom Reset"; 1 line: the name.
//   registered kinds (< -9) write their own lines after the same header.
// In a non-text record of mode 2 with more than one line the last line is read as binary data
// (an item may also switch the next line to binary itself); in mode 1 the last line is hex.
// Text with NUL bytes is written in mode 1 even in text files.
//
// Document records (StyleNo -2):
//   checkpoint   Tag: the tag; Extra: RaiseEvent (0/1); 1 line: the name. It belongs to the
//                next item record; after the last item it is the document-end checkpoint.
//   textstyles, parastyles, liststyles
//                one line of key=value fields per style; a list style is a "list" line
//                followed by its "level" lines (all counted in LineCount).
//   layout       1 line of key=value fields.
//   background   Extra "Color Style"; 2 lines: picture class name, picture data.
// Unknown document records are skipped; unknown item kinds fail the load.
//
// Reading. The first record and every whole-line item start a paragraph, except a whole-line
// item right after a list marker, which stays in the marker's paragraph; the writer stores the
// option bits the same way, so a saved document loads and saves to the same bytes. A style
// table must be read whole; loading replaces the sheet's tables, and one that arrives after
// items must still hold every style they use. No declared length or count sizes memory before
// the bytes are there. A pass that fails leaves the document and the sheet as they were.

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"

namespace epc {

// ---------------------------------------------------------------- helpers

void RVFWriteLine(TStream& stream, const std::string& s) {
    if (!s.empty()) stream.WriteBuffer(s.data(), int64_t(s.size()));
    stream.WriteBuffer("\r\n", 2);
}

void RVFWriteRaw(TStream& stream, const std::string& s) {
    if (!s.empty()) stream.WriteBuffer(s.data(), int64_t(s.size()));
}

void RVFWriteBinary(TStream& stream, const std::string& bytes) {
    stream.WriteInt32(int32_t(bytes.size()));
    RVFWriteRaw(stream, bytes);
}

namespace {
// Escapes backslash, CR and LF so a value stays on its line; doubles the quote character when
// one is given.
void AppendEscaped(std::string& out, const std::string& s, char quote) {
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (quote && c == quote) out += quote;
            out += c;
        }
    }
}
} // namespace

std::string RVFEscapeLine(const std::string& s) {
    if (s.find('\\') == std::string::npos && s.find('\r') == std::string::npos &&
        s.find('\n') == std::string::npos)
        return s;
    std::string out;
    out.reserve(s.size() + 8);
    AppendEscaped(out, s, '\0');
    return out;
}

namespace {
// Decodes the pairs the writer makes (\\, \r, \n); false at any other pair or a lone backslash
// at the end, which the writer never leaves.
bool DecodeEscapes(std::string_view s, std::string& out) {
    out.clear();
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size()) return false;
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return false;
        }
    }
    return true;
}
} // namespace

bool RVFUnescapeLine(std::string_view s, std::string& out) {
    // A line that holds a pair this writer never makes was stored as it is (a path, say): its
    // backslashes are plain characters.
    if (s.find('\\') == std::string_view::npos || !DecodeEscapes(s, out))
        out.assign(s.data(), s.size());
    return true;
}

std::string RVFQuote(const std::string& s) {
    std::string out = "\"";
    AppendEscaped(out, s, '"');
    out += '"';
    return out;
}

namespace {

// Reads a quoted token at s[pos] (which is '"'); moves pos past it. Escapes decodes the pairs
// this writer makes; without it backslashes are plain characters.
bool ReadQuotedAs(std::string_view s, size_t& pos, std::string& out, bool escapes) {
    out.clear();
    if (pos >= s.size() || s[pos] != '"') return false;
    ++pos;
    while (pos < s.size()) {
        char c = s[pos++];
        if (c == '"') {
            if (pos < s.size() && s[pos] == '"') {
                out += '"';
                ++pos;
                continue;
            }
            return true;
        }
        if (c == '\\' && escapes) {
            if (pos >= s.size()) return false;
            char e = s[pos++];
            if (e == '\\')
                out += '\\';
            else if (e == 'r')
                out += '\r';
            else if (e == 'n')
                out += '\n';
            else
                return false;
            continue;
        }
        out += c;
    }
    return false; // unclosed
}

// A quoted name or tag holding a backslash pair this writer never makes (or a backslash before
// the closing quote) was quoted by doubling quotes only: it is read again that way.
bool ReadQuoted(std::string_view s, size_t& pos, std::string& out) {
    const size_t start = pos;
    if (ReadQuotedAs(s, pos, out, true)) return true;
    pos = start;
    return ReadQuotedAs(s, pos, out, false);
}

bool ParseInt(std::string_view s, long long& v, long long lo = INT32_MIN,
              long long hi = INT32_MAX) {
    size_t n = s.size();
    if (n == 0 || n > 20) return false;
    const char* p = s.data();
    size_t i = p[0] == '-' ? 1 : 0;
    bool neg = i == 1;
    if (i >= n) return false;
    unsigned long long r = 0;
    if (n - i <= 19) {
        // Nineteen digits cannot overflow 64 unsigned bits: no check per digit.
        for (; i < n; ++i) {
            unsigned d = unsigned(p[i]) - unsigned('0');
            if (d > 9) return false;
            r = r * 10 + d;
        }
    } else {
        for (; i < n; ++i) {
            unsigned d = unsigned(p[i]) - unsigned('0');
            if (d > 9) return false;
            if (__builtin_mul_overflow(r, 10ULL, &r) || __builtin_add_overflow(r, d, &r))
                return false;
        }
    }
    // Magnitudes beyond the 64-bit range are rejected before the sign is applied.
    if (!neg && r > (unsigned long long)INT64_MAX) return false;
    if (neg && r > (unsigned long long)INT64_MAX + 1) return false;
    v = neg ? (long long)(0 - r) : (long long)r;
    return v >= lo && v <= hi;
}

// One token: a quoted string (unescaped) or a run of non-space bytes (a view into the line).
struct Token {
    std::string_view View;
    std::string Unquoted;
    bool Quoted = false;
    std::string_view Str() const { return Quoted ? std::string_view(Unquoted) : View; }
};

bool NextToken(std::string_view s, size_t& pos, Token& t) {
    if (pos >= s.size()) return false;
    if (s[pos] == '"') {
        t.Quoted = true;
        return ReadQuoted(s, pos, t.Unquoted);
    }
    t.Quoted = false;
    // Tokens are short: a plain loop beats a library search here.
    size_t e = pos;
    while (e < s.size() && s[e] != ' ')
        ++e;
    t.View = s.substr(pos, e - pos);
    pos = e;
    return !t.View.empty();
}

[[gnu::always_inline]] inline bool SkipSpace(std::string_view s, size_t& pos) {
    if (pos >= s.size() || s[pos] != ' ') return false;
    ++pos;
    return true;
}

const char hexDigits[] = "0123456789ABCDEF";

struct HexTable {
    int8_t v[256];
    HexTable() {
        for (int i = 0; i < 256; ++i)
            v[i] = -1;
        for (int i = 0; i < 10; ++i)
            v['0' + i] = int8_t(i);
        for (int i = 0; i < 6; ++i)
            v['A' + i] = v['a' + i] = int8_t(10 + i);
    }
};

const HexTable hexTable;

inline int HexValue(char c) {
    return hexTable.v[uint8_t(c)];
}

// Bytes a text line cannot hold as they are.
inline bool NeedsLineEscape(const std::string& s) {
    for (char c : s)
        if (c == '\\' || c == '\r' || c == '\n') return true;
    return false;
}

} // namespace

std::string BytesToHex(const std::string& bytes) {
    std::string out(bytes.size() * 2, '0');
    char* o = out.data();
    for (unsigned char b : bytes) {
        *o++ = hexDigits[b >> 4];
        *o++ = hexDigits[b & 15];
    }
    return out;
}

bool HexToBytes(std::string_view hex, std::string& bytes) {
    if (hex.size() % 2) return false;
    bytes.resize(hex.size() / 2);
    char* o = bytes.data();
    const char* h = hex.data();
    int bad = 0;
    for (size_t i = 0; i < bytes.size(); ++i, h += 2) {
        int hi = HexValue(h[0]), lo = HexValue(h[1]);
        bad |= hi | lo; // any -1 sets the sign bit
        o[i] = char(hi * 16 + lo);
    }
    return bad >= 0;
}

std::string RVFParaNoToString(int paraNo, TRVStyle* style, bool useStyleNames) {
    if (useStyleNames && style && style->HasParaStyle(paraNo)) {
        // A name an earlier style also has would be read as that style.
        const std::string& name = style->ParaStyles[paraNo].StyleName;
        if (style->ParaStyles.FindStyleWithName(name) == paraNo) return RVFQuote(name);
    }
    return std::to_string(paraNo);
}

std::string RVFTagToString(const TRVTag& tag, bool tagsArePChars) {
    if (tagsArePChars) {
        if (tag.IsEmpty()) return "0";
        return RVFQuote(tag.IsString() ? tag.Text() : std::to_string(tag.Number()));
    }
    return std::to_string(tag.Number());
}

std::string RVFItemHeader(int styleNo, int lineCount, const std::string& paraRef, uint8_t options,
                          int mode, const std::string& tag, const std::string& extra) {
    std::string s;
    s.reserve(32 + paraRef.size() + tag.size() + extra.size());
    s += std::to_string(styleNo);
    s += ' ';
    s += std::to_string(lineCount);
    s += ' ';
    s += paraRef;
    s += ' ';
    s += std::to_string(options & 0x0F);
    s += ' ';
    s += std::to_string(mode);
    s += ' ';
    s += tag;
    s += ' ';
    s += extra;
    return s;
}

void RVFSavePictureBinary(TStream& stream, TGraphic* graphic) {
    int64_t start = stream.Position();
    stream.WriteInt32(0);
    if (graphic) RVSaveGraphicStream(stream, *graphic);
    int64_t end = stream.Position();
    stream.SetPosition(start);
    stream.WriteInt32(int32_t(end - start - 4));
    stream.SetPosition(end);
}

std::unique_ptr<TGraphic> RVFLoadPictureBinary(TStream& stream, const std::string& className) {
    int32_t len = stream.ReadInt32();
    if (len < 0 || len > stream.Size() - stream.Position()) throw EReadError(SReadError);
    TMemoryStream ms;
    if (len > 0) ms.CopyFrom(stream, len);
    ms.SetPosition(0);
    return RVLoadGraphicStream(className, ms);
}

namespace {
void AppendInt(std::string& s, long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, size_t(r.ptr - buf));
}
} // namespace

// ---------------------------------------------------------------- style tables

namespace {

using FieldMap = std::map<std::string, Token>;

// Token views point into the line, which outlives the map.
bool ParseFields(std::string_view line, std::string& kind, FieldMap& fields) {
    fields.clear();
    size_t pos = 0;
    size_t e = line.find(' ');
    kind.assign(line.substr(0, e));
    if (e == std::string_view::npos) return !kind.empty();
    pos = e;
    while (pos < line.size()) {
        if (!SkipSpace(line, pos)) return false;
        size_t eq = line.find('=', pos);
        if (eq == std::string_view::npos || eq == pos) return false;
        std::string key(line.substr(pos, eq - pos));
        if (key.find(' ') != std::string::npos) return false;
        pos = eq + 1;
        Token t;
        if (!NextToken(line, pos, t)) return false;
        fields[key] = t;
    }
    return true;
}

struct FieldReader {
    const FieldMap& F;
    bool Ok = true;
    void Int(const char* key, int32_t& v, long long lo = INT32_MIN, long long hi = INT32_MAX) {
        auto it = F.find(key);
        if (it == F.end()) return;
        long long x;
        if (it->second.Quoted || !ParseInt(it->second.View, x, lo, hi)) {
            Ok = false;
            return;
        }
        v = int32_t(x);
    }
    void Bool(const char* key, bool& v) {
        int32_t x = v ? 1 : 0;
        Int(key, x, 0, 1);
        v = x != 0;
    }
    template <typename E> void Enum(const char* key, E& v, int maxValue) {
        int32_t x = int32_t(v);
        Int(key, x, 0, maxValue);
        v = E(x);
    }
    template <typename S> void Set(const char* key, S& v, int bitCount) {
        int32_t x = int32_t(v.Bits());
        Int(key, x, 0, (1LL << bitCount) - 1);
        v = S::FromBits(uint64_t(x));
    }
    void Str(const char* key, std::string& v) {
        auto it = F.find(key);
        if (it == F.end()) return;
        if (!it->second.Quoted) {
            Ok = false;
            return;
        }
        v = it->second.Unquoted;
    }
};

std::string Kv(const char* key, long long v) {
    return std::string(" ") + key + "=" + std::to_string(v);
}
std::string Kq(const char* key, const std::string& v) {
    return std::string(" ") + key + "=" + RVFQuote(v);
}

std::string FontFields(const TFontInfo& f) {
    return Kq("font", f.FontName) + Kv("size", f.Size) + Kv("color", f.Color) +
           Kv("back", f.BackColor) + Kv("style", (long long)(f.Style.Bits())) +
           Kv("charset", f.Charset);
}

void ReadFontFields(FieldReader& r, TFontInfo& f) {
    r.Str("font", f.FontName);
    r.Int("size", f.Size, -RVMaxFontSize, RVMaxFontSize);
    r.Int("color", f.Color);
    r.Int("back", f.BackColor);
    r.Set("style", f.Style, 4);
    r.Int("charset", f.Charset, 0, 255);
}

std::string TextStyleLine(const TFontInfo& f) {
    return "text" + Kq("name", f.StyleName) + FontFields(f) + Kv("unicode", f.Unicode) +
           Kv("jump", f.Jump) + Kv("caps", f.AllCaps) + Kv("hcolor", f.HoverColor) +
           Kv("hback", f.HoverBackColor) + Kv("cursor", f.JumpCursor) +
           Kv("spacing", f.CharSpacing) + Kv("bidi", int(f.BiDiMode)) +
           Kv("protect", (long long)(f.Protection.Bits())) + Kv("next", f.NextStyleNo) +
           (f.VShift != 0 ? Kv("vshift", f.VShift) : std::string());
}

bool ReadTextStyle(const FieldMap& m, TFontInfo& f) {
    FieldReader r{m};
    r.Str("name", f.StyleName);
    ReadFontFields(r, f);
    r.Bool("unicode", f.Unicode);
    r.Bool("jump", f.Jump);
    r.Bool("caps", f.AllCaps);
    r.Int("hcolor", f.HoverColor);
    r.Int("hback", f.HoverBackColor);
    r.Int("cursor", f.JumpCursor);
    r.Int("spacing", f.CharSpacing, -RVMaxCharSpacing, RVMaxCharSpacing);
    r.Enum("bidi", f.BiDiMode, 2);
    r.Set("protect", f.Protection, 8);
    r.Int("next", f.NextStyleNo, -1, INT32_MAX);
    r.Int("vshift", f.VShift, -RVMaxVShift, RVMaxVShift);
    return r.Ok;
}

std::string ParaStyleLine(const TParaInfo& p) {
    const TRVBorder& b = p.Border;
    const TRVBooleanRect& v = b.VisibleBorders;
    return "para" + Kq("name", p.StyleName) + Kv("first", p.FirstIndent) +
           Kv("left", p.LeftIndent) + Kv("right", p.RightIndent) + Kv("before", p.SpaceBefore) +
           Kv("after", p.SpaceAfter) + Kv("ls", p.LineSpacing) +
           Kv("lstype", int(p.LineSpacingType)) + Kv("align", int(p.Alignment)) +
           Kv("options", (long long)(p.Options.Bits())) + Kv("bidi", int(p.BiDiMode)) +
           Kv("next", p.NextParaNo) + Kv("bcolor", b.Color) + Kv("bstyle", int(b.Style)) +
           Kv("bwidth", b.Width) + Kv("biwidth", b.InternalWidth) +
           Kv("bol", b.BorderOffsets.Left) + Kv("bot", b.BorderOffsets.Top) +
           Kv("bor", b.BorderOffsets.Right) + Kv("bob", b.BorderOffsets.Bottom) +
           Kv("bvis", v.Left | v.Top << 1 | v.Right << 2 | v.Bottom << 3) +
           Kv("bgcolor", p.Background.Color) + Kv("bgol", p.Background.BorderOffsets.Left) +
           Kv("bgot", p.Background.BorderOffsets.Top) +
           Kv("bgor", p.Background.BorderOffsets.Right) +
           Kv("bgob", p.Background.BorderOffsets.Bottom);
}

bool ReadParaStyle(const FieldMap& m, TParaInfo& p) {
    FieldReader r{m};
    const long long lim = RVMaxParaLength;
    r.Str("name", p.StyleName);
    r.Int("first", p.FirstIndent, -lim, lim);
    r.Int("left", p.LeftIndent, -lim, lim);
    r.Int("right", p.RightIndent, -lim, lim);
    r.Int("before", p.SpaceBefore, -lim, lim);
    r.Int("after", p.SpaceAfter, -lim, lim);
    r.Int("ls", p.LineSpacing, -lim, lim);
    r.Enum("lstype", p.LineSpacingType, 1);
    r.Enum("align", p.Alignment, 3);
    r.Set("options", p.Options, 4);
    r.Enum("bidi", p.BiDiMode, 2);
    r.Int("next", p.NextParaNo, -1, INT32_MAX);
    TRVBorder& b = p.Border;
    r.Int("bcolor", b.Color);
    r.Enum("bstyle", b.Style, int(TRVBorderStyle::rvbThickOutside));
    r.Int("bwidth", b.Width, 0, RVMaxBorderWidth);
    r.Int("biwidth", b.InternalWidth, 0, RVMaxBorderWidth);
    r.Int("bol", b.BorderOffsets.Left, -lim, lim);
    r.Int("bot", b.BorderOffsets.Top, -lim, lim);
    r.Int("bor", b.BorderOffsets.Right, -lim, lim);
    r.Int("bob", b.BorderOffsets.Bottom, -lim, lim);
    int32_t vis = 15;
    r.Int("bvis", vis, 0, 15);
    b.VisibleBorders.SetValues(vis & 1, vis & 2, vis & 4, vis & 8);
    r.Int("bgcolor", p.Background.Color);
    r.Int("bgol", p.Background.BorderOffsets.Left, -lim, lim);
    r.Int("bgot", p.Background.BorderOffsets.Top, -lim, lim);
    r.Int("bgor", p.Background.BorderOffsets.Right, -lim, lim);
    r.Int("bgob", p.Background.BorderOffsets.Bottom, -lim, lim);
    return r.Ok;
}

std::string ListLine(const TRVListInfo& l) {
    return "list" + Kq("name", l.StyleName) + Kv("levels", l.LevelCount()) +
           Kv("preview", l.OneLevelPreview);
}

std::string LevelLine(const TRVListLevel& v) {
    return "level" + Kv("type", int(v.ListType)) + Kv("start", v.StartFrom) +
           Kq("format", v.FormatString) + Kv("left", v.LeftIndent) + Kv("first", v.FirstIndent) +
           Kv("marker", v.MarkerIndent) + Kv("align", int(v.MarkerAlignment)) +
           Kv("options", (long long)(v.Options.Bits())) + Kv("image", v.ImageIndex) +
           FontFields(v.Font);
}

bool ReadLevel(const FieldMap& m, TRVListLevel& v) {
    FieldReader r{m};
    const long long lim = RVMaxParaLength;
    r.Enum("type", v.ListType, int(TRVListType::rvlstImageListCounter));
    r.Int("start", v.StartFrom);
    r.Str("format", v.FormatString);
    r.Int("left", v.LeftIndent, -lim, lim);
    r.Int("first", v.FirstIndent, -lim, lim);
    r.Int("marker", v.MarkerIndent, -lim, lim);
    r.Enum("align", v.MarkerAlignment, 2);
    r.Set("options", v.Options, 2);
    r.Int("image", v.ImageIndex, -1, INT32_MAX);
    ReadFontFields(r, v.Font);
    return r.Ok;
}

std::string LayoutLine(const TRVLayoutInfo& l) {
    return "layout" + Kv("left", l.LeftMargin) + Kv("right", l.RightMargin) +
           Kv("top", l.TopMargin) + Kv("bottom", l.BottomMargin) + Kv("min", l.MinTextWidth) +
           Kv("max", l.MaxTextWidth) + Kv("bidi", int(l.BiDiMode));
}

bool ReadLayout(const FieldMap& m, TRVLayoutInfo& l) {
    FieldReader r{m};
    const long long lim = RVMaxParaLength;
    r.Int("left", l.LeftMargin, -lim, lim);
    r.Int("right", l.RightMargin, -lim, lim);
    r.Int("top", l.TopMargin, -lim, lim);
    r.Int("bottom", l.BottomMargin, -lim, lim);
    r.Int("min", l.MinTextWidth, 0, lim);
    r.Int("max", l.MaxTextWidth, 0, lim);
    r.Enum("bidi", l.BiDiMode, 2);
    return r.Ok;
}

} // namespace

void TCustomRVData::RvfWriteStyles(TStream& stream, bool) const {
    TRVStyle* style = GetRVStyle();
    if (!style) return;
    TRVFOptions o = GetRVFOptions();
    if (o.Contains(TRVFOption::rvfoSaveTextStyles)) {
        RVFWriteLine(stream,
                     RVFItemHeader(-2, style->TextStyles.Count(), "textstyles", 0, 0, "0", ""));
        for (int i = 0; i < style->TextStyles.Count(); ++i)
            RVFWriteLine(stream, TextStyleLine(style->TextStyles[i]));
    }
    if (o.Contains(TRVFOption::rvfoSaveParaStyles)) {
        RVFWriteLine(stream,
                     RVFItemHeader(-2, style->ParaStyles.Count(), "parastyles", 0, 0, "0", ""));
        for (int i = 0; i < style->ParaStyles.Count(); ++i)
            RVFWriteLine(stream, ParaStyleLine(style->ParaStyles[i]));
        int lines = 0;
        for (int i = 0; i < style->ListStyles.Count(); ++i)
            lines += 1 + style->ListStyles[i].LevelCount();
        RVFWriteLine(stream, RVFItemHeader(-2, lines, "liststyles", 0, 0, "0", ""));
        for (int i = 0; i < style->ListStyles.Count(); ++i) {
            const TRVListInfo& l = style->ListStyles[i];
            RVFWriteLine(stream, ListLine(l));
            for (const auto& lvl : l.Levels)
                RVFWriteLine(stream, LevelLine(*lvl));
        }
    }
}

// ---------------------------------------------------------------- writing

void TCustomRVData::RvfWriteRecords(TStream& stream, int first, int last, int startOffs,
                                    int endOffs, bool binary) {
    TRVStyle* style = GetRVStyle();
    bool pchars = TagsArePChars();
    bool useNames = GetRVFOptions().Contains(TRVFOption::rvfoUseStyleNames);
    TRVSaveContext ctx;
    ctx.RVData = this;
    ctx.Binary = binary;
    ctx.UseStyleNames = useNames;
    bool firstWritten = true, afterMarker = false;
    std::string rec;
    for (int i = first; i <= last; ++i) {
        const TRVItemEntry& e = (*FItems)[i];
        TCustomRVItemInfo* item = e.Item.get();
        bool isText = item->StyleNo >= 0;
        // A non-text item is outside the selection when it starts after it or ends before it.
        if (!isText && ((i == first && startOffs >= 1 && first != last) ||
                        (i == last && endOffs <= 0 && first != last)))
            continue;
        if (item->Checkpoint) {
            const TRVCPInfo* cp = item->Checkpoint.get();
            RVFWriteLine(stream,
                         RVFItemHeader(-2, 1, "checkpoint", 0, 0, RVFTagToString(cp->Tag, pchars),
                                       cp->RaiseEvent ? "1" : "0"));
            RVFWriteLine(stream, RVFEscapeLine(cp->Name));
        }
        uint8_t options = item->ItemOptions & 0x0F;
        // Written as the reader places them: the first record starts a paragraph, and so does a
        // whole-line item unless it follows a list marker.
        if (firstWritten || (!isText && item->IsFullLine() && !afterMarker))
            options &= uint8_t(~(rvioSameAsPrev | rvioBR));
        firstWritten = false;
        afterMarker = item->StyleNo == rvsListMarker;
        if (!isText) {
            item->SaveRVF(stream, ctx, e.Text, item->ParaNo, options & ~rvioUnicode);
            continue;
        }
        const std::string* text = &e.Text;
        std::string part;
        if (i == first || i == last) {
            int so = i == first ? std::max(startOffs, 1) : 1;
            int eo = i == last ? endOffs : GetTextCharLength(e.Text, item->ItemOptions) + 1;
            part = CopyItemTextChars(e.Text, item->ItemOptions, so, eo - so);
            text = &part;
        }
        int mode;
        if (binary)
            mode = 2;
        else if (item->IsUnicode() || FindByteInBuffer(text->data(), 0, int(text->size())) > 0)
            mode = 1;
        else
            mode = 0;
        // Text records are the bulk of a document: built in place, written in one call.
        rec.clear();
        AppendInt(rec, item->StyleNo);
        rec += " 1 ";
        if (useNames)
            rec += RVFParaNoToString(item->ParaNo, style, true);
        else
            AppendInt(rec, item->ParaNo);
        rec += ' ';
        AppendInt(rec, options);
        rec += ' ';
        AppendInt(rec, mode);
        rec += ' ';
        if (pchars || item->Tag.IsString())
            rec += RVFTagToString(item->Tag, pchars);
        else
            AppendInt(rec, item->Tag.Number());
        rec += " \r\n";
        if (mode == 2) {
            uint32_t len = uint32_t(text->size());
            rec.append(reinterpret_cast<const char*>(&len), 4);
            rec += *text;
        } else {
            if (mode == 1)
                rec += BytesToHex(*text);
            else if (!NeedsLineEscape(*text))
                rec += *text;
            else
                rec += RVFEscapeLine(*text);
            rec += "\r\n";
        }
        stream.WriteBuffer(rec.data(), int64_t(rec.size()));
    }
}

void TCustomRVData::SaveToRvfStream(TStream& stream, bool selectionOnly, TColor color,
                                    TBackgroundStyle backStyle, TGraphic* backImage,
                                    const TRVLayoutInfo* layout) {
    TRVFOptions o = GetRVFOptions();
    bool binary = o.Contains(TRVFOption::rvfoSaveBinary);
    TStream& buffer = stream;
    RvfWriteStyles(buffer, binary);
    if (layout && o.Contains(TRVFOption::rvfoSaveLayout)) {
        RVFWriteLine(buffer, RVFItemHeader(-2, 1, "layout", 0, 0, "0", ""));
        RVFWriteLine(buffer, LayoutLine(*layout));
    }
    if (o.Contains(TRVFOption::rvfoSaveBack) &&
        (color != clNone || (backImage && backStyle != TBackgroundStyle::bsNoBitmap))) {
        std::string cls, body;
        if (backImage) {
            cls = backImage->ClassName();
            body = RVSaveGraphicStream(*backImage);
        }
        RVFWriteLine(buffer,
                     RVFItemHeader(-2, 2, "background", 0, binary ? 2 : 1, "0",
                                   std::to_string(color) + " " + std::to_string(int(backStyle))));
        RVFWriteLine(buffer, RVFEscapeLine(cls));
        if (binary)
            RVFWriteBinary(buffer, body);
        else
            RVFWriteLine(buffer, BytesToHex(body));
    }
    int first = 0, last = ItemCount() - 1, so = -1, eo = -1;
    bool toEnd = true;
    if (selectionOnly) {
        GetSelectionBounds(first, so, last, eo);
        if (first > last) {
            std::swap(first, last);
            std::swap(so, eo);
        }
        toEnd = last == ItemCount() - 1 && eo >= ItemEndOffset(last);
    }
    if (first >= 0 && last >= first && last < ItemCount()) {
        if (!selectionOnly) {
            so = ItemStartOffset(first);
            eo = ItemEndOffset(last);
        }
        RvfWriteRecords(buffer, first, last, so, eo, binary);
    }
    if (NotAddedCP && toEnd) {
        RVFWriteLine(buffer, RVFItemHeader(-2, 1, "checkpoint", 0, 0,
                                           RVFTagToString(NotAddedCP->Tag, TagsArePChars()),
                                           NotAddedCP->RaiseEvent ? "1" : "0"));
        RVFWriteLine(buffer, RVFEscapeLine(NotAddedCP->Name));
    }
}

// ---------------------------------------------------------------- reading

namespace {

// Line source over the whole input (memory streams are read in place).
class RvfInput {
public:
    RvfInput(const char* data, size_t size) : FBase(data), FSize(size) {}
    bool AtEnd() const { return FPos >= FSize; }
    [[gnu::always_inline]] bool ReadLine(std::string_view& line) {
        if (AtEnd()) return false;
        const void* nl = std::memchr(FBase + FPos, '\n', FSize - FPos);
        size_t end = nl ? size_t(static_cast<const char*>(nl) - FBase) : FSize;
        size_t stop = end;
        if (stop > FPos && FBase[stop - 1] == '\r') --stop;
        line = std::string_view(FBase + FPos, stop - FPos);
        FPos = nl ? end + 1 : end;
        return true;
    }
    bool ReadLine(std::string& line) {
        std::string_view v;
        if (!ReadLine(v)) return false;
        line.assign(v.data(), v.size());
        return true;
    }
    bool ReadBinary(std::string_view& bytes) {
        if (FSize - FPos < 4) return false;
        uint32_t len;
        std::memcpy(&len, FBase + FPos, 4);
        FPos += 4;
        if (len > 0x7FFFFFFFu || len > FSize - FPos) return false;
        bytes = std::string_view(FBase + FPos, len);
        FPos += len;
        return true;
    }
    bool ReadBinary(std::string& bytes) {
        std::string_view v;
        if (!ReadBinary(v)) return false;
        bytes.assign(v.data(), v.size());
        return true;
    }

private:
    const char* FBase;
    size_t FSize;
    size_t FPos = 0;
};

struct Header {
    long long StyleNo = 0, LineCount = 0, Options = 0, Mode = 0;
    Token Para;
    Token Tag;
    std::string_view Extra; // into the line
};

// A whole number ending at a space or the line end; Pos moves past it. Short numbers, which
// is all a header holds, are read in one pass; anything else goes through ParseInt.
[[gnu::always_inline]] inline bool ScanInt(std::string_view s, size_t& pos, long long& v,
                                           long long lo, long long hi) {
    const char* p = s.data() + pos;
    const char* end = s.data() + s.size();
    const char* q = p;
    bool neg = q < end && *q == '-';
    if (neg) ++q;
    const char* digits = q;
    unsigned long long r = 0;
    while (q < end && q - digits < 18) {
        unsigned d = unsigned(*q) - unsigned('0');
        if (d > 9) break;
        r = r * 10 + d;
        ++q;
    }
    if (q > digits && (q == end || *q == ' ')) [[likely]] {
        long long x = neg ? -(long long)r : (long long)r;
        if (x < lo || x > hi) return false;
        v = x;
        pos = size_t(q - s.data());
        return true;
    }
    size_t e = pos;
    while (e < s.size() && s[e] != ' ')
        ++e;
    if (!ParseInt(s.substr(pos, e - pos), v, lo, hi)) return false;
    pos = e;
    return true;
}

// A token (see NextToken); unquoted ones, the usual case, without leaving the caller.
[[gnu::always_inline]] inline bool ScanToken(std::string_view s, size_t& pos, Token& t) {
    if (pos < s.size() && s[pos] != '"') [[likely]] {
        size_t e = pos;
        while (e < s.size() && s[e] != ' ')
            ++e;
        t.Quoted = false;
        t.View = std::string_view(s.data() + pos, e - pos);
        pos = e;
        return true; // not empty: s[pos] is neither a quote nor (checked by the caller) a space
    }
    return NextToken(s, pos, t);
}

// A whole token as a number (tokens hold no spaces).
[[gnu::always_inline]] inline bool TokenInt(std::string_view s, long long& v, long long lo,
                                            long long hi) {
    size_t pos = 0;
    return ScanInt(s, pos, v, lo, hi) && pos == s.size();
}

// Inlined into the record loop: it runs once per record.
[[gnu::always_inline]] inline bool ParseHeader(std::string_view line, Header& h) {
    size_t pos = 0;
    if (!ScanInt(line, pos, h.StyleNo, INT32_MIN, INT32_MAX)) return false;
    if (!SkipSpace(line, pos) || !ScanInt(line, pos, h.LineCount, 0, INT32_MAX)) return false;
    if (!SkipSpace(line, pos) || pos >= line.size() || line[pos] == ' ' ||
        !ScanToken(line, pos, h.Para))
        return false;
    if (!SkipSpace(line, pos) || !ScanInt(line, pos, h.Options, 0, 15)) return false;
    if (!SkipSpace(line, pos) || !ScanInt(line, pos, h.Mode, 0, 2)) return false;
    if (!SkipSpace(line, pos) || pos >= line.size() || line[pos] == ' ' ||
        !ScanToken(line, pos, h.Tag))
        return false;
    h.Extra = std::string_view();
    if (pos < line.size()) {
        if (!SkipSpace(line, pos)) return false;
        h.Extra = line.substr(pos);
    }
    return true;
}

bool ParseTag(const Token& t, bool tagsArePChars, TRVTag& tag) {
    if (t.Quoted) {
        if (tagsArePChars) {
            tag = TRVTag::FromString(t.Unquoted);
        } else {
            long long v;
            tag = ParseInt(t.Unquoted, v, INTPTR_MIN, INTPTR_MAX) ? TRVTag(intptr_t(v)) : TRVTag();
        }
        return true;
    }
    long long v;
    if (!TokenInt(t.View, v, INTPTR_MIN, INTPTR_MAX)) return false;
    if (tagsArePChars)
        tag = v == 0 ? TRVTag::FromString(std::string()) : TRVTag::FromString(std::string(t.View));
    else if (v != 0 || !tag.IsEmpty() || tag.IsString())
        tag = TRVTag(intptr_t(v)); // a fresh item's tag already is the number 0
    return true;
}

// Stored index -> sheet index; no map keeps indexes as stored.
int MapIndex(const std::optional<std::vector<int>>& map, int v) {
    if (!map || v < 0) return v;
    return v < int(map->size()) ? (*map)[size_t(v)] : -1;
}

// One style table of the sheet as a read pass sees it: the sheet's own until a stored table
// arrives, then a copy that only the commit puts into the sheet.
template <typename Table> class PassTable {
public:
    explicit PassTable(Table* sheet) : FSheet(sheet) {}
    bool HasSheet() const { return FSheet != nullptr; }
    const Table& Current() const { return FCopy ? *FCopy : *FSheet; }
    // Whether items may point to the index (without a sheet there is nothing to check).
    bool Holds(int index) const { return index >= 0 && (!FSheet || index < Current().Count()); }
    // Notes an index an item of the pass points to; a later table must keep it.
    void Use(int index) { FMaxUsed = std::max(FMaxUsed, index); }
    int MaxUsed() const { return FMaxUsed; }
    // The pass's own copy, made from the sheet on first use.
    Table& Edit() {
        if (!FCopy) {
            FCopy = std::make_unique<Table>();
            FCopy->Assign(*FSheet);
        }
        return *FCopy;
    }
    void Replace(std::unique_ptr<Table> table) { FCopy = std::move(table); }
    // Puts the pass's table into the sheet, keeping the sheet's for Restore.
    void Commit() {
        if (!FCopy) return;
        auto old = std::make_unique<Table>();
        old->Assign(*FSheet);
        FSheet->Assign(*FCopy);
        FCopy = std::move(old);
        FCommitted = true;
    }
    void Restore() {
        if (FCommitted) FSheet->Assign(*FCopy);
    }
    std::optional<std::vector<int>> Map; // set by a table read while inserting

private:
    Table* FSheet;
    std::unique_ptr<Table> FCopy;
    int FMaxUsed = -1;
    bool FCommitted = false;
};

void CopyListStyle(const TRVListInfo& source, TRVListInfo& dest) {
    dest.StyleName = source.StyleName;
    dest.OneLevelPreview = source.OneLevelPreview;
    dest.Levels.clear();
    for (const auto& level : source.Levels)
        dest.Levels.push_back(std::make_unique<TRVListLevel>(*level));
}

void AppendStyle(TFontInfos& table, const TFontInfo& style) {
    table.Add() = style;
}
void AppendStyle(TParaInfos& table, const TParaInfo& style) {
    table.Add() = style;
}
void AppendStyle(TRVListInfos& table, const TRVListInfo& style) {
    CopyListStyle(style, table.Add());
}

// Pictures are freed through the graphic hooks: this layer does not see their classes.

// Reads one pass of records. Each record kind has its reader; a reader answers false for input
// that is not RVF. Items go into the document as they are read (a second walk over them would
// cost a sixth of the load time); style tables, background, layout and the document-end
// checkpoint wait in temporaries for Commit. Rollback takes a failed pass back out.
class TRvfReader {
public:
    TRvfReader(TCustomRVData& data, RvfInput& input, int index, bool loading)
        : FData(data), FIn(input), FStartIndex(index), FCountBefore(data.ItemCount()),
          FLoading(loading), FStyle(data.GetRVStyle()),
          FText(FStyle ? &FStyle->TextStyles : nullptr),
          FPara(FStyle ? &FStyle->ParaStyles : nullptr),
          FLists(FStyle ? &FStyle->ListStyles : nullptr), FOptions(data.GetRVFOptions()),
          FTagsArePChars(data.TagsArePChars()),
          FConvStyles(FOptions.Contains(TRVFOption::rvfoConvUnknownStylesToZero)),
          FTextMode(data.GetRVFTextStylesReadMode()), FParaMode(data.GetRVFParaStylesReadMode()) {
        // A pass that starts while another reads one of its items is a sub-document of that
        // item (a table cell): its items take the outer pass's styles, so that they are mapped,
        // checked against and kept by the style tables the outer pass reads.
        if (ActiveReader && ActiveReader->FStyle == FStyle) FOuter = ActiveReader;
        ActiveReader = this;
    }
    ~TRvfReader() { ActiveReader = FPrevActive; }
    TRvfReader(const TRvfReader&) = delete;
    TRvfReader& operator=(const TRvfReader&) = delete;

    bool ReadAll() {
        std::string_view line;
        Header h;
        while (FIn.ReadLine(line)) {
            if (line.empty() && FIn.AtEnd()) break;
            if (!ParseHeader(line, h) || !ReadRecord(h)) return false;
        }
        return true;
    }

    // Puts the tables into the sheet and the document records into the document. After a
    // failed pass (Whole false) only the items read so far stay, with the styles they use.
    void Commit(int& index, int& firstItem, int& lastItem, bool& fullReformat, bool whole = true);
    // Leaves the document and the sheet as they were before the pass.
    void Rollback() {
        if (int added = FData.ItemCount() - FCountBefore; added > 0)
            FData.DeleteItemRange(FStartIndex, added);
        FText.Restore();
        FPara.Restore();
        FLists.Restore();
    }

private:
    bool ReadRecord(const Header& h) {
        return h.StyleNo == -2 ? ReadDocumentRecord(h) : ReadItemRecord(h);
    }

    // ---- document records
    bool ReadDocumentRecord(const Header& h);
    bool ReadCheckpoint(const Header& h);
    bool ReadBackground(const Header& h);
    bool ReadLayoutRecord(const Header& h);
    bool ReadTextStyles(const Header& h);
    bool ReadParaStyles(const Header& h);
    bool ReadListStyles(const Header& h);
    template <typename Table>
    bool TakeTable(PassTable<Table>& pass, std::unique_ptr<Table> table, TRVFReaderStyleMode mode);
    bool SkipLines(const Header& h) {
        std::string_view line;
        for (long long k = 0; k < h.LineCount; ++k)
            if (!FIn.ReadLine(line)) return false;
        return true;
    }

    // ---- item records
    bool ReadItemRecord(const Header& h);
    bool ReadTextBody(const Header& h, TCustomRVItemInfo& item, std::string& text);
    bool ReadOwnLines(const Header& h, TCustomRVItemInfo& item, std::string& text);
    bool MapMarkerList(TRVMarkerItemInfo& marker);
    bool ItemTextStyle(long long stored, int& styleNo);
    bool ItemParagraph(const Token& stored, int& paraNo);
    void AddItem(std::string&& text, std::unique_ptr<TCustomRVItemInfo> item);
    int Inserted() const { return FInserted; }
    bool FollowsMarker() const {
        int prev = FStartIndex + Inserted() - 1;
        return prev >= 0 && FData.GetItem(prev)->StyleNo == rvsListMarker;
    }

    TCustomRVData& FData;
    RvfInput& FIn;
    const int FStartIndex;
    const int FCountBefore;
    int FInserted = 0;
    const bool FLoading;
    TRVStyle* FStyle;
    PassTable<TFontInfos> FText;
    PassTable<TParaInfos> FPara;
    PassTable<TRVListInfos> FLists;
    TRVFOptions FOptions;
    bool FTagsArePChars;
    bool FConvStyles;
    // List styles go with the paragraph styles.
    const TRVFReaderStyleMode FTextMode, FParaMode;
    bool FFullReformat = false;
    // A checkpoint waits for the next item; after the last one it marks the document end.
    std::unique_ptr<TRVCPInfo> FCheckpoint;
    static thread_local TRvfReader* ActiveReader;
    TRvfReader* FPrevActive = ActiveReader;
    TRvfReader* FOuter = nullptr;
    bool FHasBackground = false;
    TColor FBackColor = clNone;
    TBackgroundStyle FBackStyle = TBackgroundStyle::bsNoBitmap;
    std::unique_ptr<TGraphic> FBackImage;
    bool FHasLayout = false;
    TRVLayoutInfo FLayout;
    std::string FExtra, FLine;
};

// ---- document records

bool TRvfReader::ReadDocumentRecord(const Header& h) {
    const std::string_view kind = h.Para.Str();
    if (kind == "checkpoint") return ReadCheckpoint(h);
    if (kind == "textstyles") return ReadTextStyles(h);
    if (kind == "parastyles") return ReadParaStyles(h);
    if (kind == "liststyles") return ReadListStyles(h);
    if (kind == "layout") return ReadLayoutRecord(h);
    if (kind == "background") return ReadBackground(h);
    // Document records of unknown kinds are skipped.
    return SkipLines(h);
}

bool TRvfReader::ReadCheckpoint(const Header& h) {
    std::string_view line;
    if (h.LineCount != 1 || (h.Extra != "0" && h.Extra != "1") || !FIn.ReadLine(line)) return false;
    auto cp = std::make_unique<TRVCPInfo>();
    if (!RVFUnescapeLine(line, cp->Name) || !ParseTag(h.Tag, FTagsArePChars, cp->Tag)) return false;
    cp->RaiseEvent = h.Extra == "1";
    FCheckpoint = std::move(cp);
    return true;
}

bool TRvfReader::ReadBackground(const Header& h) {
    std::string_view line;
    std::string cls, body;
    if (h.LineCount != 2 || !FIn.ReadLine(line) || !RVFUnescapeLine(line, cls)) return false;
    if (h.Mode == 2 ? !FIn.ReadBinary(body) : !(FIn.ReadLine(line) && HexToBytes(line, body)))
        return false;
    long long color = clNone, backStyle = 0;
    size_t sp = h.Extra.find(' ');
    if (sp == std::string_view::npos || !ParseInt(h.Extra.substr(0, sp), color) ||
        !ParseInt(h.Extra.substr(sp + 1), backStyle, 0, int(TBackgroundStyle::bsBottomRight)))
        return false;
    if (!FOptions.Contains(TRVFOption::rvfoLoadBack)) return true;
    if (!FLoading) {
        // A document inserted into another brings only its colour, which its editor takes.
        FData.RVFLoadedColor = TColor(color);
        return true;
    }
    FBackImage.reset();
    if (!body.empty()) {
        TMemoryStream ms;
        ms.WriteString(body);
        ms.SetPosition(0);
        try {
            FBackImage = RVLoadGraphicStream(cls, ms);
        } catch (const Exception&) {
            // A picture that cannot be decoded leaves the background plain.
        }
    }
    FHasBackground = true;
    FBackColor = TColor(color);
    FBackStyle = TBackgroundStyle(backStyle);
    return true;
}

bool TRvfReader::ReadLayoutRecord(const Header& h) {
    std::string_view line;
    FieldMap fields;
    std::string kind;
    TRVLayoutInfo layout;
    if (h.LineCount != 1 || !FIn.ReadLine(line) || !ParseFields(line, kind, fields) ||
        kind != "layout" || !ReadLayout(fields, layout))
        return false;
    if (FLoading && FOptions.Contains(TRVFOption::rvfoLoadLayout)) {
        FLayout = layout;
        FHasLayout = true;
    }
    return true;
}

bool TRvfReader::ReadTextStyles(const Header& h) {
    if (FOuter) return false; // sub-documents share the outer sheet
    auto table = std::make_unique<TFontInfos>();
    std::string_view line;
    std::string kind;
    FieldMap fields;
    for (long long k = 0; k < h.LineCount; ++k)
        if (!FIn.ReadLine(line) || !ParseFields(line, kind, fields) || kind != "text" ||
            !ReadTextStyle(fields, table->Add()))
            return false;
    return TakeTable(FText, std::move(table), FTextMode);
}

bool TRvfReader::ReadParaStyles(const Header& h) {
    if (FOuter) return false; // sub-documents share the outer sheet
    auto table = std::make_unique<TParaInfos>();
    std::string_view line;
    std::string kind;
    FieldMap fields;
    for (long long k = 0; k < h.LineCount; ++k)
        if (!FIn.ReadLine(line) || !ParseFields(line, kind, fields) || kind != "para" ||
            !ReadParaStyle(fields, table->Add()))
            return false;
    return TakeTable(FPara, std::move(table), FParaMode);
}

bool TRvfReader::ReadListStyles(const Header& h) {
    if (FOuter) return false; // sub-documents share the outer sheet
    auto table = std::make_unique<TRVListInfos>();
    std::string_view line;
    std::string kind;
    FieldMap fields;
    long long left = h.LineCount;
    while (left > 0) {
        if (!FIn.ReadLine(line) || !ParseFields(line, kind, fields) || kind != "list") return false;
        --left;
        TRVListInfo& list = table->Add();
        FieldReader r{fields};
        int32_t levels = 0;
        r.Str("name", list.StyleName);
        r.Int("levels", levels, 0, 255);
        r.Bool("preview", list.OneLevelPreview);
        // The level lines are counted in the record's lines.
        if (!r.Ok || levels > left) return false;
        for (int32_t v = 0; v < levels; ++v, --left)
            if (!FIn.ReadLine(line) || !ParseFields(line, kind, fields) || kind != "level" ||
                !ReadLevel(fields, list.AddLevel()))
                return false;
    }
    return TakeTable(FLists, std::move(table), FParaMode);
}

// A whole stored table, by the read mode: ignored; or, loading in replace mode, put in place of
// the sheet's, which must then still hold every style the items read so far point to; or (merge
// mode, and every insertion) the stored styles are mapped onto equal ones of the sheet and the
// missing ones added, so that the sheet's styles keep their indexes for whoever uses them.
template <typename Table>
bool TRvfReader::TakeTable(PassTable<Table>& pass, std::unique_ptr<Table> table,
                           TRVFReaderStyleMode mode) {
    if (!pass.HasSheet() || mode == TRVFReaderStyleMode::rvf_sIgnore) return true;
    pass.Map.reset();
    if (FLoading && mode == TRVFReaderStyleMode::rvf_sInsertMap) {
        if (pass.MaxUsed() >= table->Count()) return false;
        pass.Replace(std::move(table));
        return true;
    }
    Table& dest = pass.Edit();
    pass.Map.emplace();
    for (int i = 0; i < table->Count(); ++i) {
        int j = dest.FindSuchStyle((*table)[i]);
        if (j < 0) {
            AppendStyle(dest, (*table)[i]);
            j = dest.Count() - 1;
            FFullReformat = true;
        }
        pass.Map->push_back(j);
    }
    return true;
}

// ---- item records

bool TRvfReader::ItemTextStyle(long long stored, int& styleNo) {
    if (FOuter) return FOuter->ItemTextStyle(stored, styleNo);
    styleNo = MapIndex(FText.Map, int(stored));
    if (!FText.Holds(styleNo)) {
        if (!FConvStyles || !FText.Holds(0)) return false;
        styleNo = 0;
    }
    FText.Use(styleNo);
    return true;
}

bool TRvfReader::ItemParagraph(const Token& stored, int& paraNo) {
    if (FOuter) return FOuter->ItemParagraph(stored, paraNo);
    if (stored.Quoted) {
        paraNo = FPara.HasSheet() ? FPara.Current().FindStyleWithName(stored.Unquoted) : -1;
    } else {
        long long p;
        if (!TokenInt(stored.View, p, -1, INT32_MAX)) return false;
        paraNo = MapIndex(FPara.Map, int(p));
    }
    if (!FPara.Holds(paraNo)) {
        if (!FConvStyles || !FPara.Holds(0)) return false;
        paraNo = 0;
    }
    FPara.Use(paraNo);
    return true;
}

bool TRvfReader::MapMarkerList(TRVMarkerItemInfo& marker) {
    if (FOuter) return FOuter->MapMarkerList(marker);
    if (marker.ListNo < 0) return true;
    int listNo = MapIndex(FLists.Map, marker.ListNo);
    if (!FLists.Holds(listNo)) {
        if (!FConvStyles) return false;
        listNo = -1;
    }
    marker.ListNo = listNo;
    if (listNo >= 0) FLists.Use(listNo);
    return true;
}

bool TRvfReader::ReadItemRecord(const Header& h) {
    int styleNo = int(h.StyleNo);
    if (styleNo >= 0 && !ItemTextStyle(h.StyleNo, styleNo)) return false;
    std::unique_ptr<TCustomRVItemInfo> item(CreateRichViewItem(styleNo, &FData));
    int paraNo;
    if (!item || !ItemParagraph(h.Para, paraNo)) return false;
    item->ParaNo = paraNo;
    item->ItemOptions = uint8_t(h.Options);
    if (!ParseTag(h.Tag, FTagsArePChars, item->Tag)) return false;
    std::string text;
    if (!(styleNo >= 0 ? ReadTextBody(h, *item, text) : ReadOwnLines(h, *item, text))) return false;
    AddItem(std::move(text), std::move(item));
    return true;
}

// Text: one line of escaped bytes, hex, or a binary block.
bool TRvfReader::ReadTextBody(const Header& h, TCustomRVItemInfo& item, std::string& text) {
    if (h.LineCount != 1 || !h.Extra.empty()) return false;
    if (h.Mode == 2) {
        if (!FIn.ReadBinary(text)) return false;
    } else {
        std::string_view line;
        if (!FIn.ReadLine(line) ||
            !(h.Mode == 1 ? HexToBytes(line, text) : RVFUnescapeLine(line, text)))
            return false;
    }
    return !item.IsUnicode() || text.size() % 2 == 0;
}

// Every other kind (breaks, pictures, controls, bullets, hotspots, markers, registered kinds)
// reads its header fields and lines itself.
bool TRvfReader::ReadOwnLines(const Header& h, TCustomRVItemInfo& item, std::string& text) {
    item.ItemOptions &= uint8_t(~rvioUnicode);
    FExtra.assign(h.Extra.data(), h.Extra.size());
    if (!item.ReadRVFHeader(FExtra, &FData)) return false;
    if (item.StyleNo == rvsListMarker && !MapMarkerList(static_cast<TRVMarkerItemInfo&>(item)))
        return false;
    TRVFReadMode mode = TRVFReadMode::rmText;
    TRVFReadState state = TRVFReadState::rstData;
    const int lineCount = int(h.LineCount);
    for (int k = 0; k < lineCount && state != TRVFReadState::rstItemFinished; ++k) {
        // The last line of a binary or hex record is its body.
        if (k == lineCount - 1 && lineCount > 1 && h.Mode != 0)
            mode = h.Mode == 2 ? TRVFReadMode::rmBinary : TRVFReadMode::rmHex;
        bool got = mode == TRVFReadMode::rmBinary ? FIn.ReadBinary(FLine) : FIn.ReadLine(FLine);
        if (!got || !item.ReadRVFLine(FLine, &FData, k, lineCount, text, mode, state)) return false;
        if (mode == TRVFReadMode::rmHex) mode = TRVFReadMode::rmText;
    }
    if (item.IsFullLine() || item.GetSubRVData(0)) FFullReformat = true;
    return true;
}

void TRvfReader::AddItem(std::string&& text, std::unique_ptr<TCustomRVItemInfo> item) {
    // The first item of a document starts a paragraph. So does an item that takes a whole line
    // (text items never do; other kinds say so themselves), unless a list marker starts its
    // paragraph.
    const int at = FStartIndex + Inserted();
    if (at == 0 || (item->StyleNo < 0 && item->IsFullLine() && !FollowsMarker()))
        item->ItemOptions &= uint8_t(~(rvioSameAsPrev | rvioBR));
    if (FCheckpoint) {
        FCheckpoint->ItemInfo = item.get();
        item->Checkpoint = std::move(FCheckpoint);
    }
    // The list owns the item from here on, also when a notification after the insertion raises:
    // the roll-back counts what the list holds.
    FData.InsertItemObjectAt(at, std::move(text), std::move(item));
    ++FInserted;
}

void TRvfReader::Commit(int& index, int& firstItem, int& lastItem, bool& fullReformat, bool whole) {
    FText.Commit();
    FPara.Commit();
    FLists.Commit();
    if (whole && FHasLayout) FData.RVFLayoutRead(FLayout);
    if (whole && FHasBackground)
        FData.RVFBackgroundRead(FBackColor, FBackStyle, std::move(FBackImage));
    // The list holds what was inserted, also when a notification raised after an insertion.
    const int inserted = whole ? Inserted() : std::max(FData.ItemCount() - FCountBefore, 0);
    // A checkpoint after the last item marks the end of the document.
    if (whole && FCheckpoint && FStartIndex + inserted == FData.ItemCount() && !FData.NotAddedCP)
        FData.TakeDocumentEndCheckpoint(std::move(FCheckpoint));
    index = FStartIndex + inserted;
    fullReformat = FFullReformat;
    if (inserted > 0) {
        firstItem = FStartIndex;
        lastItem = FStartIndex + inserted - 1;
        // The item after the inserted range may now follow a different paragraph.
        if (lastItem + 1 < FData.ItemCount() && FData.GetItem(lastItem + 1)->GetJoinsPrevious() &&
            FData.GetItem(lastItem)->IsFullLine())
            FData.GetItem(lastItem + 1)->SetJoinsPrevious(false);
    }
}

thread_local TRvfReader* TRvfReader::ActiveReader = nullptr;

} // namespace

bool TCustomRVData::LoadFromRvfStream(TStream& stream) {
    ClearAllItems();
    RVFLoadedColor = clNone;
    RVFLoadedColorValid = false;
    RVFLoadedLayoutValid = false;
    int index = 0, first = -1, last = -1;
    bool full = false;
    bool ok = RvfReadLoop(stream, index, first, last, full, true);
    if (!ok) ClearAllItems();
    return ok;
}

bool TCustomRVData::RvfReadLoop(TStream& stream, int& index, int& firstItem, int& lastItem,
                                bool& fullReformat, bool loading, bool keepPartial) {
    firstItem = lastItem = -1;
    fullReformat = false;
    if (SharesItems()) return false;
    index = std::clamp(index, 0, ItemCount());
    try {
        // Memory streams are read in place; others are read whole first.
        int64_t size = std::max<int64_t>(stream.Size() - stream.Position(), 0);
        std::string copy;
        const char* base;
        if (auto* ms = dynamic_cast<TMemoryStream*>(&stream)) {
            base = reinterpret_cast<const char*>(ms->Memory()) + ms->Position();
            ms->Seek(0, TSeekOrigin::soEnd);
        } else {
            copy.resize(size_t(size));
            if (size > 0) stream.ReadBuffer(copy.data(), size);
            base = copy.data();
        }
        RvfInput in(base, size_t(size));
        // Markers are numbered once, after the whole pass.
        BeginMarkersUpdate();
        auto renumber = Finally([this] { EndMarkersUpdate(); });
        TRvfReader reader(*this, in, index, loading);
        auto rollback = Finally([&reader] { reader.Rollback(); });
        bool read = false;
        try {
            read = reader.ReadAll();
        } catch (const Exception&) {
            if (!keepPartial) throw;
        }
        if (!read && !keepPartial) return false;
        reader.Commit(index, firstItem, lastItem, fullReformat, read);
        rollback.Dismiss();
        return read;
    } catch (const Exception&) {
        // What streams, pictures and controls raise on data they cannot take.
        return false;
    }
}

} // namespace epc
