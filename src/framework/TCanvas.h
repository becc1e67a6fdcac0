// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A drawing surface over an off-screen picture with a pen, a brush and a font.
// Coordinates are logical: the viewport origin maps logical (0, 0) to a device
// pixel. Rectangles exclude their right and bottom edges, lines exclude their
// end point, and every operation stays inside the clipping region.
//
// On a screen with more device pixels than logical ones the picture holds
// Width() x DevicePixelRatio() device pixels, and the same two rules place
// everything, so that a picture at 200 % is the 100 % one drawn at twice the
// resolution and one at 150 % has strokes of one width everywhere:
// - an edge of an area at logical x lies at device DeviceEdge(x);
// - a line n logical pixels wide at logical p covers DeviceStroke(p, n): its
//   width is round(n x ratio) device pixels, centred on the logical pixels.
// At a ratio of 1 both are the logical pixels themselves.
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "framework/TColor.h"
#include "framework/TFont.h"
#include "framework/TRect.h"

class QPainter;

namespace framework {

enum TBrushStyle : std::uint8_t { bsSolid, bsClear };
enum TPenStyle : std::uint8_t { psSolid, psClear };

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    friend bool operator==(const TPen &, const TPen &) = default;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    friend bool operator==(const TBrush &, const TBrush &) = default;
};

// DrawText formats.
constexpr unsigned DT_LEFT = 0x0, DT_TOP = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
                   DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_NOCLIP = 0x100, DT_CALCRECT = 0x400,
                   DT_NOPREFIX = 0x800, DT_RTLREADING = 0x20000;

// Text background modes.
constexpr int TRANSPARENT = 1, OPAQUE = 2;

// Raster operations: the third byte is the boolean function of pattern,
// source and destination, so any of the 256 can be given.
constexpr std::uint32_t SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
                        SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6,
                        MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09,
                        PATINVERT = 0x005A0049, DSTINVERT = 0x00550009, BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062,
                        // brush where the source is white, destination where it is black
    ROP_DSPDxax = 0x00E20746;

// What a pixel read outside the picture returns.
constexpr TColor CLR_INVALID = 0xFFFFFFFFu;

struct TSize {
    int cx = 0, cy = 0;
    friend bool operator==(const TSize &, const TSize &) = default;
};

// Text metrics of a font, in pixels.
struct TTextMetric {
    int tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0, tmAveCharWidth = 0,
        tmMaxCharWidth = 0;
};
TTextMetric GetTextMetrics(const TFont &font);

// Device pixels [First, Last) along one axis.
struct TDeviceSpan {
    int First = 0, Last = 0;
    int Size() const { return Last - First; }
    friend bool operator==(const TDeviceSpan &, const TDeviceSpan &) = default;
};
// round(x * ratio), halves up.
int DeviceEdge(int x, qreal ratio);
// The device pixels of a line n logical pixels wide starting at logical p.
TDeviceSpan DeviceStroke(int p, int n, qreal ratio);

class TCanvas {
public:
    TCanvas() = default;
    TCanvas(int width, int height, qreal devicePixelRatio = 1);
    TCanvas(const TCanvas &) = delete;
    TCanvas &operator=(const TCanvas &) = delete;

    TPen Pen;
    TBrush Brush;
    TFont Font; // its Color is the text colour

    // The picture: Format_RGB32 in device pixels, its devicePixelRatio set.
    const QImage &Image() const { return image_; }
    // The size in logical pixels.
    int Width() const { return width_; }
    int Height() const { return height_; }
    // New size; the old picture stays at the top left, new area is white.
    void Resize(int width, int height);
    // Device pixels per logical pixel. A new ratio starts a white picture.
    qreal DevicePixelRatio() const { return dpr_; }
    void SetDevicePixelRatio(qreal ratio);

    // A one-bit surface holds only black and white: colours drawn on it
    // become the nearer of the two, and copies from it turn white into the
    // destination's background colour and black into its text colour.
    bool Monochrome() const { return monochrome_; }

    // Filled and outlined shapes.
    void FillRect(const TRect &r);
    void FrameRect(const TRect &r);
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect &r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void Ellipse(int left, int top, int right, int bottom);
    void Ellipse(const TRect &r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
    void Polygon(std::span<const TPoint> points);
    void Polygon(std::initializer_list<TPoint> points) { Polygon(std::span(points.begin(), points.size())); }

    // Lines: the end point is never painted.
    TPoint PenPos() const { return penPos_; }
    void MoveTo(int x, int y) { penPos_ = {x, y}; }
    void LineTo(int x, int y);
    void Polyline(std::span<const TPoint> points);
    void Polyline(std::initializer_list<TPoint> points) { Polyline(std::span(points.begin(), points.size())); }

    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor color);

    // Text. The background of drawn text is painted in BkColor() only while
    // BkMode() is OPAQUE (the default is TRANSPARENT).
    void SetBkMode(int mode) { bkMode_ = mode; }
    int BkMode() const { return bkMode_; }
    void SetBkColor(TColor color) { bkColor_ = color; }
    TColor BkColor() const { return bkColor_; }
    void SetTextColor(TColor color) { Font.Color = color; }
    TColor TextColor() const { return Font.Color; }

    void TextOut(int x, int y, const QString &text);
    int TextWidth(const QString &text) const;
    int TextHeight(const QString &text) const;
    TSize TextExtent(const QString &text) const;
    TTextMetric GetTextMetrics() const { return framework::GetTextMetrics(Font); }
    // Formatted text into r; with DT_CALCRECT only measures and moves r's
    // right and bottom edges. Returns the height of the text.
    int DrawText(const QString &text, TRect &r, unsigned format);
    int DrawText(const QString &text, const TRect &r, unsigned format)
    {
        TRect copy = r;
        return DrawText(text, copy, format);
    }

    // Clipping, given in logical coordinates at the time of the call.
    void IntersectClipRect(int left, int top, int right, int bottom);
    void ExcludeClipRect(int left, int top, int right, int bottom);
    void SelectClipRect(const TRect &r);
    void ResetClip();
    bool HasClip() const { return clip_.has_value(); }
    // The box around what can be drawn, in logical coordinates.
    TRect ClipRect() const;

    TPoint GetViewportOrg() const { return origin_; }
    // Returns the previous origin.
    TPoint SetViewportOrg(int x, int y);

    // Saved states (pen, brush, font, text colours, clip, origin). SaveDC
    // returns the new state's number; RestoreDC takes that number, or a
    // negative count back from the latest.
    int SaveDC();
    bool RestoreDC(int id);

    // Copies. Pixels outside either picture are left alone.
    friend bool BitBlt(TCanvas &dest, int x, int y, int w, int h, const TCanvas *src, int sx, int sy,
                       std::uint32_t rop);
    friend bool StretchBlt(TCanvas &dest, int x, int y, int w, int h, const TCanvas *src, int sx, int sy, int sw,
                           int sh, std::uint32_t rop);
    void CopyRect(const TRect &dest, const TCanvas &src, const TRect &source);
    // The whole of source stretched over dest, leaving out the pixels of
    // transparentColor (none for clNone). TBitmap's Draw uses it.
    void StretchDraw(const TRect &dest, const TCanvas &source, TColor transparentColor = clNone);

    // The window the canvas paints for (a control, a menu window), or none.
    QWidget *Window() const { return window_; }
    void SetWindow(QWidget *window) { window_ = window; }

    // For drawing that has no operation here (a widget rendering itself): a
    // painter in logical coordinates, clipped like the canvas.
    void PaintWith(const std::function<void(QPainter &)> &paint);

private:
    // Ellipses and rounded rectangles: outline with the pen, inside with the brush.
    void PaintShape(int left, int top, int right, int bottom,
                    const std::function<void(QPainter &, const QRect &)> &draw,
                    const std::function<void(QPainter &, const QRectF &)> &drawF);
    friend class TBitmap;
    friend class TImageList;

    struct State {
        TPen pen;
        TBrush brush;
        TFont font;
        int bkMode;
        TColor bkColor;
        std::optional<QRegion> clip;
        TPoint origin;
    };

    QRgb deviceColor(TColor c) const;
    bool canPaint(int dx, int dy) const;
    void plot(int dx, int dy, QRgb c);
    // A logical pixel (origin included) as a dot n pixels wide; a line along
    // one axis covers the whole of its logical pixels on that axis.
    QRect dotRect(int x, int y, int n) const;
    void plotPen(int x, int y, QRgb c, bool xMajor);
    void line(TPoint a, TPoint b);
    // Device rectangle of logical [left, right) x [top, bottom), origin added.
    QRect areaRect(int left, int top, int right, int bottom) const;
    // As areaRect, but a side one logical pixel thin is a line.
    QRect fillRect(int left, int top, int right, int bottom) const;
    void allocate(int width, int height, bool keep);
    void fillDevice(const QRect &deviceRect, QRgb c);
    QRegion paintableRegion() const;
    void clipTo(const QRegion &deviceRegion);
    const QFont &qfont() const;
    // The font whose line height and ascent place text: the exact face, so
    // that a stand-in face above 100 % keeps the lines where they were.
    const QFont &lineFont() const;
    void setMonochrome(bool on) { monochrome_ = on; }

    QImage image_;
    int width_ = 0, height_ = 0;
    qreal dpr_ = 1;
    QPointer<QWidget> window_;
    bool monochrome_ = false;
    int bkMode_ = TRANSPARENT;
    TColor bkColor_ = clWhite;
    std::optional<QRegion> clip_; // device coordinates; none = whole picture
    TPoint origin_;
    TPoint penPos_;
    std::vector<State> saved_;

    mutable TFont cachedFont_;
    mutable qreal cachedRatio_ = 1;
    mutable QFont cachedQFont_;
    mutable QFont cachedLineFont_;
    mutable bool fontCached_ = false;
};

// Restores the canvas state saved at construction when it goes out of scope.
class TSavedDC {
public:
    explicit TSavedDC(TCanvas &canvas) : canvas_(canvas), id_(canvas.SaveDC()) {}
    ~TSavedDC() { canvas_.RestoreDC(id_); }
    TSavedDC(const TSavedDC &) = delete;
    TSavedDC &operator=(const TSavedDC &) = delete;

private:
    TCanvas &canvas_;
    int id_;
};

bool BitBlt(TCanvas &dest, int x, int y, int w, int h, const TCanvas *src, int sx, int sy, std::uint32_t rop);
bool StretchBlt(TCanvas &dest, int x, int y, int w, int h, const TCanvas *src, int sx, int sy, int sw, int sh,
                std::uint32_t rop);

} // namespace framework
