// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat/FlatAccessibility.h"

#include <QAccessibleValueInterface>

#include "flat/TFlatButtonUnit.h"
#include "flat/TFlatComboBoxUnit.h"
#include "flat/TFlatProgressBarUnit.h"
#include "flat/TFlatTitlebarUnit.h"
#include "framework/Accessibility.h"

namespace flat {

using framework::IsClass;
using framework::TControlAccessible;

namespace {

// The glyphs a title bar's buttons show, by what they do.
QString TitlebarButtonName(const QString &caption)
{
    if (caption == u"X")
        return QStringLiteral("Close");
    if (caption == u"~" || caption == u"_")
        return QStringLiteral("Minimize");
    return {};
}

class ButtonAccessible final : public TControlAccessible {
public:
    explicit ButtonAccessible(TFlatButton *b) : TControlAccessible(b, QAccessible::Button) {}

    TFlatButton *button() const { return static_cast<TFlatButton *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty() &&
            qobject_cast<TFlatTitlebar *>(widget()->parentWidget())) {
            const QString name = TitlebarButtonName(button()->Caption());
            if (!name.isEmpty())
                return name;
        }
        return TControlAccessible::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = TControlAccessible::state();
        s.pressed = button()->Down();
        return s;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && button()->isEnabled())
            framework::DoLater(button(), [b = button()] { b->Click(); });
    }
};

class ProgressAccessible final : public TControlAccessible, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(TFlatProgressBar *bar) : TControlAccessible(bar, QAccessible::ProgressBar) {}

    TFlatProgressBar *bar() const { return static_cast<TFlatProgressBar *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return TControlAccessible::interface_cast(t);
    }
    QVariant currentValue() const override { return bar()->Position(); }
    // The join sets the position; nobody else does.
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return bar()->Max(); }
    QVariant minimumValue() const override { return bar()->Min(); }
    QVariant minimumStepSize() const override { return 0; }
};

class TitlebarAccessible final : public TControlAccessible {
public:
    explicit TitlebarAccessible(QWidget *bar) : TControlAccessible(bar, QAccessible::TitleBar) {}
};

QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    auto *w = qobject_cast<QWidget *>(object);
    if (!w)
        return nullptr;
    if (IsClass<TFlatButton>(className))
        return new ButtonAccessible(static_cast<TFlatButton *>(w));
    if (IsClass<TFlatProgressBar>(className))
        return new ProgressAccessible(static_cast<TFlatProgressBar *>(w));
    if (IsClass<TFlatTitlebar>(className))
        return new TitlebarAccessible(w);
    // Only holds the platform combo box, which speaks for itself.
    if (IsClass<TFlatComboBox>(className))
        return new TControlAccessible(w, QAccessible::Client);
    return nullptr;
}

} // namespace

void InstallFlatAccessibleFactory()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    framework::InstallAccessibleFactory();
    QAccessible::installFactory(&Factory);
}

} // namespace flat
