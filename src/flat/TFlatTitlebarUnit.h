// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A title bar of its own for a frameless form: a coloured strip with the
// caption centred, drawn in one colour while the form is active and another
// while it is not, that moves the form when dragged with the left button:
// through the desktop where it offers that, by itself elsewhere.
#include <QPointer>

class QWindow;

#include "framework/Controls.h"

namespace flat {

using framework::TColor;

class TFlatTitlebar : public framework::TCustomControl {
    Q_OBJECT
public:
    // Throws like SetParent when parent is given and is not a form.
    explicit TFlatTitlebar(QWidget *parent = nullptr);
    ~TFlatTitlebar() override;

    TColor ActiveTextColor() const { return activeTextColor_; }
    void SetActiveTextColor(TColor value);
    TColor InactiveTextColor() const { return inactiveTextColor_; }
    void SetInactiveTextColor(TColor value);
    TColor TitlebarColor() const { return titlebarColor_; }
    void SetTitlebarColor(TColor value);

    // Only a form (or none) can hold the title bar; anything else raises
    // EInvalidOperation and keeps the current parent.
    void SetParent(QWidget *parent);
    framework::TForm *HostForm() const { return hostForm_; }

    // Starts following the host form's activation.
    void Loaded() override;

    bool FormActive() const { return formActive_; }
    bool Dragging() const { return dragging_; }

    void DoActivate();
    void DoDeactivate();

    framework::TNotifyEvent OnActivate;
    framework::TNotifyEvent OnDeactivate;

    // Where the caption starts: each half taken separately, so a caption
    // taller than the bar can start above it.
    static framework::TPoint CaptionOrigin(int width, int height, int textWidth, int textHeight);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void Paint(framework::TCanvas &canvas) const override;
    void mousePressEvent(QMouseEvent *event) override;
    // A press soon after a click arrives as a double click; it drags all the same.
    void mouseDoubleClickEvent(QMouseEvent *event) override { mousePressEvent(event); }
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void Unhook();
    static void GiveBackRelease(QWindow *window, const QMouseEvent *press);

    QPointer<framework::TForm> hostForm_;
    // Only compared with what the filter watches, also while the form is
    // being destroyed, when it is no longer a TForm.
    QPointer<QObject> hookedForm_;
    bool formActive_ = false;
    bool dragging_ = false;
    int dragStartX_ = 0;
    int dragStartY_ = 0;
    TColor activeTextColor_ = 0x00FFFFFF;
    TColor inactiveTextColor_ = 0x00829AA2;
    TColor titlebarColor_ = 0x00000000;
};

} // namespace flat
