// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A flat progress bar: a one-pixel frame, a background and a fill that grows
// with the position, as one solid bar or as a row of 8-pixel blocks with
// one-pixel gaps, from left to right or from bottom to top.
#include <QtGlobal>

#include "flat/FlatUtilitys.h"
#include "framework/Controls.h"
#include "framework/TCanvas.h"

namespace flat {

class TFlatProgressBar : public framework::TCustomControl {
    Q_OBJECT
public:
    explicit TFlatProgressBar(QWidget *parent = nullptr);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TColor ColorElement() const { return colorElement_; }
    void SetColorElement(TColor value) { SetColors(0, value); }
    TColor ColorBorder() const { return colorBorder_; }
    void SetColorBorder(TColor value) { SetColors(1, value); }
    TAdvColors AdvColorBorder() const { return advColorBorder_; }
    void SetAdvColorBorder(TAdvColors value);
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool value);
    TProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TProgressBarOrientation value);
    // 64-bit, so a bar can count the bytes of a file of any size.
    qint64 Min() const { return min_; }
    void SetMin(qint64 value);
    qint64 Max() const { return max_; }
    void SetMax(qint64 value);
    qint64 Position() const { return position_; }
    void SetPosition(qint64 value);
    int Step() const { return step_; }
    bool Smooth() const { return smooth_; }
    void SetSmooth(bool value);

    // Block size along the bar; every block is followed by a one-pixel gap.
    static constexpr int ElementSize = 8;

    // The length L of a block bar that holds whole blocks exactly.
    static int SnappedLength(int length);
    // Filled length of a smooth bar whose inside is inner pixels long; 0 for
    // an empty or inverted range, never more than inner.
    static int SmoothLength(int inner, qint64 min, qint64 max, qint64 position);
    // Number of blocks shown out of total; 0 for an empty or inverted range
    // and for a bar that holds no block.
    static int BlockCount(int total, qint64 min, qint64 max, qint64 position);

protected:
    // A block bar snaps its length to whole blocks before it paints.
    void SyncState() override;
    void Paint(TCanvas &canvas) const override;
    void resizeEvent(QResizeEvent *event) override;
    void SysColorChange() override;
    void ParentColorChanged() override;

private:
    void SetColors(int index, TColor value);
    void ApplyAdvColors();
    void PaintElements(TCanvas &canvas) const;
    // Where the fill for position lies past the fill for fromPosition.
    TRect GrownFill(qint64 fromPosition) const;
    // Tells screen readers of a new value, once per whole percent of the
    // range: a join moves the bar thousands of times.
    void TellValue();

    bool transparent_ = false;
    TColor colorElement_ = 0x00996633;
    TColor colorBorder_ = 0x008396A0;
    TAdvColors advColorBorder_ = 50;
    bool useAdvColors_ = false;
    TProgressBarOrientation orientation_ = pbHorizontal;
    qint64 min_ = 0;
    qint64 max_ = 100;
    qint64 position_ = 0;
    int step_ = 10;
    bool smooth_ = false;
    int toldPercent_ = -1;
};

} // namespace flat
