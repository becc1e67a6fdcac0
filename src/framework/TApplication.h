#pragma once
// The application object: title, main form, message pumping and the
// standard error box for exceptions that escape a handler.
#include <QApplication>
#include <QString>
#include <exception>
#include <utility>

class QWidget;

namespace framework {

class TApplication {
public:
    QString Title() const { return title_; }
    void SetTitle(const QString &title);

    QWidget *MainForm() const { return mainForm_; }
    void SetMainForm(QWidget *form) { mainForm_ = form; }

    // Processes every pending event, then returns.
    void ProcessMessages();

    // Minimizes the application's main window; its taskbar entry restores it.
    void Minimize();

    // The standard error box: OK only, stop icon, caption = Title().
    void ShowException(const QString &message);
    void HandleException(const std::exception &e);

    // Runs f; an exception escaping it is shown in the standard error box.
    // Returns false when f failed.
    template <class F>
    bool Guard(F &&f)
    {
        try {
            std::forward<F>(f)();
            return true;
        } catch (const std::exception &e) {
            HandleException(e);
        } catch (...) {
            ShowException(QString());
        }
        return false;
    }

    // The box's text: the message with "." appended unless it is empty or
    // already ends in "." or a character that sorts below ".".
    static QString ErrorBoxText(const QString &message);

private:
    QString title_;
    QWidget *mainForm_ = nullptr;
};

TApplication &Application();

// A QApplication whose event delivery turns escaping exceptions into the
// standard error box instead of ending the program.
class TQtApplication : public QApplication {
public:
    TQtApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace framework
