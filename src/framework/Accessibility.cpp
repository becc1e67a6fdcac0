// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/Accessibility.h"

#include <QPointer>
#include <QTimer>
#include <utility>

#include "framework/Controls.h"
#include "framework/THintWindow.h"

namespace framework {

QString StripAccel(const QString &caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && ++i == caption.size())
            break;
        out += caption[i];
    }
    return out;
}

namespace {
AnnouncementSpy *currentSpy = nullptr;
} // namespace

void Announce(QAccessibleEvent &event)
{
    if (currentSpy)
        currentSpy->spy_(event);
    QAccessible::updateAccessibility(&event);
}

bool AnyoneListens() { return currentSpy || QAccessible::isActive(); }

AnnouncementSpy::AnnouncementSpy(std::function<void(QAccessibleEvent &)> spy)
    : spy_(std::move(spy)), previous_(std::exchange(currentSpy, this))
{}

AnnouncementSpy::~AnnouncementSpy() { currentSpy = previous_; }

void DoLater(QWidget *w, std::function<void()> fn)
{
    QTimer::singleShot(0, w, [guard = QPointer<QWidget>(w), fn = std::move(fn)] {
        if (guard)
            fn();
    });
}

TControlAccessible::TControlAccessible(QWidget *w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

QString TControlAccessible::text(QAccessible::Text t) const
{
    const auto *control = qobject_cast<const TControl *>(widget());
    switch (t) {
    case QAccessible::Name:
        if (!widget()->accessibleName().isEmpty())
            return widget()->accessibleName();
        return control ? StripAccel(control->Caption()) : QString();
    case QAccessible::Description:
        if (!widget()->accessibleDescription().isEmpty())
            return widget()->accessibleDescription();
        return control ? control->Hint() : QString();
    default: return QAccessibleWidget::text(t);
    }
}

QAccessible::State TControlAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    // Painted controls take the focus only where they ask for it.
    if (widget()->focusPolicy() == Qt::NoFocus)
        s.focusable = false;
    return s;
}

namespace {

// A picture with a click handler is a link; one without is only a picture.
class ImageAccessible final : public TControlAccessible {
public:
    explicit ImageAccessible(TImage *image) : TControlAccessible(image, QAccessible::Graphic) {}

    TImage *image() const { return static_cast<TImage *>(widget()); }
    bool IsLink() const { return bool(image()->OnClick); }

    QAccessible::Role role() const override { return IsLink() ? QAccessible::Link : QAccessible::Graphic; }
    QAccessible::State state() const override
    {
        QAccessible::State s = TControlAccessible::state();
        s.linked = IsLink();
        return s;
    }
    QStringList actionNames() const override
    {
        return IsLink() ? QStringList{pressAction()} : TControlAccessible::actionNames();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && IsLink() && image()->isEnabled())
            DoLater(image(), [i = image()] { i->Click(); });
    }
};

class FormAccessible final : public TControlAccessible {
public:
    explicit FormAccessible(QWidget *form) : TControlAccessible(form, QAccessible::Window) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return widget()->windowTitle();
        return TControlAccessible::text(t);
    }
};

// A hint reads as a tool tip; a notice that tells the end of something as an alert.
class HintAccessible final : public TControlAccessible {
public:
    explicit HintAccessible(THintWindow *hint) : TControlAccessible(hint, QAccessible::ToolTip) {}
    QAccessible::Role role() const override
    {
        return static_cast<THintWindow *>(widget())->IsNotice() ? QAccessible::AlertMessage : QAccessible::ToolTip;
    }
};

QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    auto *w = qobject_cast<QWidget *>(object);
    if (!w)
        return nullptr;
    if (IsClass<TImage>(className))
        return new ImageAccessible(static_cast<TImage *>(w));
    if (IsClass<TPanel>(className))
        return new TControlAccessible(w, QAccessible::Pane);
    if (IsClass<TForm>(className))
        return new FormAccessible(w);
    if (IsClass<THintWindow>(className))
        return new HintAccessible(static_cast<THintWindow *>(w));
    // Any other painted control that no layer above describes.
    if (IsClass<TCustomControl>(className))
        return new TControlAccessible(w, QAccessible::Client);
    return nullptr;
}

} // namespace

void InstallAccessibleFactory()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(&Factory);
}

} // namespace framework
