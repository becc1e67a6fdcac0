// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/WindowSettings.h"

#include "core/Settings.h"
#include "desktop/Desktop.h"
#include "desktop/Screens.h"
#include "desktop/WindowSystem.h"
#include "framework/TApplication.h"
#include "platform/Exceptions.h"
#include "window/MainWindow.h"

namespace app {

using platform::FileName;

namespace {

// The window's side of the settings file.
class FormSettings final : public SettingsTarget {
public:
    explicit FormSettings(TForm1 &form) : form_(form) {}
    QRect FrameGeometry() const override { return form_.frameGeometry(); }
    QRect MoveHandle() const override { return form_.FlatTitlebar1->geometry(); }
    bool PositionKnown() const override { return platform::WindowPositionsKnown(); }
    QList<QRect> Screens() const override { return platform::ScreenGeometries(); }
    void SetTop(int top) override { form_.move(form_.x(), top); }
    void SetLeft(int left) override { form_.move(left, form_.y()); }
    FileName OutputName() const override { return form_.OutputName(); }
    void SetOutputName(const FileName &name) override { form_.SetOutputName(name); }
    // The folder the open dialog starts in next: the last Add Movie's, or the
    // one read at start when this session added nothing through the dialog.
    FileName OpenPath() const override { return form_.OD1.InitialDir; }
    void SetOpenDialogFolder(const FileName &folder) override { form_.OD1.InitialDir = folder; }
    bool JoinAsOneMovie() const override { return form_.JoinAsOneMovie(); }
    void SetJoinAsOneMovie(bool on) override { form_.SetJoinAsOneMovie(on); }
    std::vector<FileName> RecentOutputs() const override { return form_.RecentOutputs(); }
    void SetRecentOutputs(const std::vector<FileName> &names) override { form_.SetRecentOutputs(names); }

private:
    TForm1 &form_;
};

} // namespace

void WindowSettingsFile::Read(TForm1 &form) const
{
    FormSettings target(form);
    try {
        ReadSettings(path_, target);
    } catch (const platform::EInOutError &e) {
        throw platform::EInOutError(
            e.ErrorCode(),
            QStringLiteral("The settings file %1 cannot be created: %2").arg(path_.Display(), e.Message()));
    }
    // Another user's misuc.dat beside the program, passed over: the person
    // should know why the settings they find there are not the ones used.
    if (const QString notice = SettingsNotice(); !notice.isEmpty())
        platform::CurrentMessageBoxes().Show(&form, notice, framework::Application().Title(),
                                             platform::MsgIcon::Warning, QString());
}

bool WindowSettingsFile::Write(TForm1 &form)
{
    if (done_)
        return true;
    try {
        FormSettings target(form);
        WriteSettings(path_, target);
    } catch (const platform::Exception &e) {
        if (!CloseWithoutSettings(&form, e))
            return false;
    } catch (const std::exception &e) {
        // Out of memory or worse: still the person's choice, never a window that cannot close.
        if (!CloseWithoutSettings(&form, platform::Exception(QString::fromLocal8Bit(e.what()))))
            return false;
    }
    done_ = true;
    return true;
}

bool WindowSettingsFile::CloseWithoutSettings(QWidget *owner, const platform::Exception &error) const
{
    // A file error names its file as details, which the question names already.
    const bool fileError = dynamic_cast<const platform::EInOutError *>(&error) != nullptr;
    const QString why = fileError || error.Details().isEmpty() ? error.Message() : error.Details();
    platform::Question question;
    question.Caption = framework::Application().Title();
    question.Text = QStringLiteral("Zantrope could not save its settings in %1.").arg(path_.Display());
    question.Details = framework::TApplication::ErrorBoxText(why) +
                       QStringLiteral("\n\nClose without saving them, or keep the window open to mend this?");
    question.Answers = {QStringLiteral("Close Without Saving"), QStringLiteral("Keep Open")};
    question.DefaultAnswer = 1;
    question.EscapeAnswer = 1;
    question.Icon = platform::MsgIcon::Warning;
    return platform::CurrentMessageBoxes().Ask(owner, question) == 0;
}

} // namespace app
