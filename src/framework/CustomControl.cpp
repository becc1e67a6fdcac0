// SPDX-License-Identifier: GPL-3.0-or-later
// The paint cycle of the controls that paint themselves, and the
// framework's own such controls: panel, image and form.
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "framework/Accessibility.h"
#include "framework/Controls.h"
#include "framework/Jpeg.h"
#include "framework/Menus.h"
#include "framework/Pictures.h"

namespace framework {

TCustomControl::TCustomControl(QWidget *parent, Qt::WindowFlags flags) : TControl(parent, flags)
{
    canvas_.SetWindow(this);
    InstallAccessibleFactory();
}

bool TCustomControl::PictureIsCurrentSize() const
{
    return hasPicture_ && canvas_.Width() == width() && canvas_.Height() == height() &&
           canvas_.DevicePixelRatio() == pictureRatio();
}

qreal TCustomControl::pictureRatio() const { return renderRatio_ > 0 ? renderRatio_ : devicePixelRatioF(); }

void TCustomControl::Compose()
{
    // First, so that SyncState measures text in the faces that will draw it.
    canvas_.SetDevicePixelRatio(pictureRatio());
    SyncState(); // may change the control's size
    canvas_.Resize(width(), height());
    canvas_.ResetClip();
    canvas_.SetViewportOrg(0, 0);
    if (canvas_.Width() > 0 && canvas_.Height() > 0)
        Paint(canvas_);
    hasPicture_ = true;
    drawnNotShown_ = QRegion();
}

QImage TCustomControl::Render()
{
    Compose();
    return canvas_.Image();
}

QImage TCustomControl::Render(qreal devicePixelRatio)
{
    const qreal before = renderRatio_;
    renderRatio_ = devicePixelRatio;
    Compose();
    QImage picture = canvas_.Image();
    renderRatio_ = before;
    return picture;
}

void TCustomControl::DrawNow(const TRect &rect)
{
    if (!PictureIsCurrentSize()) {
        update();
        return;
    }
    if (rect.IsEmpty())
        return;
    {
        const TSavedDC saved(canvas_);
        canvas_.SelectClipRect(rect);
        Paint(canvas_);
    }
    drawnNotShown_ += rect.ToQRect();
    update(rect.ToQRect());
}

void TCustomControl::PaintTo(QPainter &painter)
{
    Compose();
    painter.drawImage(0, 0, canvas_.Image());
}

void TCustomControl::paintEvent(QPaintEvent *event)
{
    const QRegion shown = event->region() & PictureRegion();
    if (shown.isEmpty())
        return;
    // A paint that only asks for what DrawNow drew shows the picture as it is.
    if (!PictureIsCurrentSize() || !(event->region() - drawnNotShown_).isEmpty())
        Compose();
    drawnNotShown_ = QRegion();
    QPainter painter(this);
    if (canvas_.DevicePixelRatio() != 1) {
        // Whole, so that every device pixel lands on its own: a part of the
        // picture could start between two device pixels.
        painter.setClipRegion(shown);
        painter.drawImage(QPointF(0, 0), canvas_.Image());
        return;
    }
    for (const QRect &r : shown)
        painter.drawImage(r.topLeft(), canvas_.Image(), r);
}

// ---------------------------------------------------------------------------

TPanel::TPanel(QWidget *parent) : TCustomControl(parent) {}

void TPanel::SetBorderWidth(int width)
{
    if (AssignAndRepaint(borderWidth_, width, [this] { update(); }))
        AlignControls();
}

void TPanel::SetShowCaption(bool value)
{
    AssignAndRepaint(showCaption_, value, [this] { update(); });
}

void TPanel::Paint(TCanvas &canvas) const
{
    canvas.Brush = {Color(), bsSolid};
    canvas.FillRect(ClientRect());
    if (showCaption_ && !Caption().isEmpty()) {
        canvas.Font = Font();
        canvas.SetBkMode(TRANSPARENT);
        canvas.DrawText(Caption(), ClientRect(), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

TRect TPanel::ClientAlignRect() const
{
    TRect r = ClientRect();
    InflateRect(r, -borderWidth_, -borderWidth_);
    return r;
}

// ---------------------------------------------------------------------------

TImage::TImage(QWidget *parent) : TCustomControl(parent) {}

void TImage::SetPicture(const QImage &picture) { SetPicture(picture, QImage()); }

void TImage::SetPicture(const QImage &picture, const QImage &denser)
{
    picture_ = picture;
    denser_ = denser;
    update();
}

QImage ReadPicture(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? DecodeJpeg(file.readAll()) : QImage();
    }
    QImageReader reader(fileName, suffix.toLatin1());
    reader.setAutoDetectImageFormat(false);
    const QImage picture = reader.read();
    return picture.isNull() ? QImage(fileName) : picture;
}

bool TImage::LoadPicture(const QString &fileName)
{
    const QImage picture = ReadPicture(fileName);
    if (picture.isNull())
        return false;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString twin = dot > fileName.lastIndexOf(QLatin1Char('/'))
                             ? fileName.left(dot) + QStringLiteral("@2x") + fileName.mid(dot)
                             : fileName + QStringLiteral("@2x");
    QImage denser = QFile::exists(twin) ? ReadPicture(twin) : QImage();
    // Only a true double of the picture stands in for it.
    if (denser.size() == picture.size() * 2)
        denser.setDevicePixelRatio(2);
    else
        denser = QImage();
    SetPicture(picture, denser);
    return true;
}

void TImage::Paint(TCanvas &canvas) const
{
    if (canvas.DevicePixelRatio() == 1) {
        canvas.PaintWith([this](QPainter &p) { p.drawImage(0, 0, picture_); });
        return;
    }
    const QImage &shown = denser_.isNull() ? picture_ : denser_;
    canvas.PaintWith([&](QPainter &p) {
        // One device pixel per picture pixel where the ratios agree;
        // otherwise resampled smoothly rather than in blocks.
        if (shown.devicePixelRatio() != canvas.DevicePixelRatio())
            p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(QPointF(0, 0), picture_.deviceIndependentSize()), shown);
    });
}

QRegion TImage::PictureRegion() const
{
    return QRect(QPoint(0, 0), picture_.deviceIndependentSize().toSize()) & rect();
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    TControl::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Click();
}

// ---------------------------------------------------------------------------

TForm::TForm(QWidget *parent) : TCustomControl(parent, Qt::Window) { qApp->installEventFilter(this); }

TForm::~TForm() { qApp->removeEventFilter(this); }

QWidget *TForm::ActiveControl() const
{
    // The focus child is kept while the form is inactive, too.
    QWidget *w = focusWidget();
    return w && isAncestorOf(w) ? w : nullptr;
}

void TForm::SetActiveControl(QWidget *control)
{
    if (control && isAncestorOf(control))
        control->setFocus(Qt::OtherFocusReason);
}

TMainMenu *TForm::Menu() const { return menu_; }

void TForm::SetMenu(TMainMenu *menu) { menu_ = menu; }

void TForm::DrawMenuBar()
{
    if (menu_ && menu_->MenuBar())
        menu_->MenuBar()->update();
}

void TForm::SetBorderStyleNone() { setWindowFlags(Qt::Window | Qt::FramelessWindowHint); }

void TForm::closeEvent(QCloseEvent *event)
{
    bool accept = true;
    if (OnClose && !ErrorBox().Guard([&] { OnClose(this, accept); }))
        accept = false;
    if (accept)
        event->accept();
    else
        event->ignore();
}

bool TForm::eventFilter(QObject *watched, QEvent *event)
{
    // Alt+letter: the first control of this form whose caption marks that
    // letter takes it.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *target = qobject_cast<QWidget *>(watched);
        if ((key->modifiers() & Qt::AltModifier) && target && target->window() == this && !key->text().isEmpty()) {
            const QChar ch = key->text().at(0);
            const QList<TControl *> all = findChildren<TControl *>();
            for (TControl *c : all)
                if (c->isVisible() && c->DialogChar(ch))
                    return true;
        }
    }
    return TControl::eventFilter(watched, event);
}

void TForm::Paint(TCanvas &canvas) const
{
    canvas.Brush = {Color(), bsSolid};
    canvas.FillRect(ClientRect());
}

} // namespace framework
