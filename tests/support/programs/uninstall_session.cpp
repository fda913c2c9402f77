// The product's uninstaller with someone at it, for the end-to-end tests:
// the same work as Desinstalar.exe, and a person scripted by $ORVEX_SESSION
// who answers each message box with a click on one of its buttons:
//   uninstall       Yes to the question, OK to what follows
//   uninstall:no    No to the question
// Every box is written down in $ORVEX_SESSION_LOG ("box <caption>: <text>",
// its lines joined by " | "), then "end <status>"; $ORVEX_SESSION_SHOTS,
// when set, names a folder for a picture of each box as the screen shows it.

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "installer/uninstaller/uninstaller.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "tests/support/programs/session_log.h"

namespace
{

class Person
{
public:
    Person()
        : no_(Env("ORVEX_SESSION") == "uninstall:no")
        , shots_(Env("ORVEX_SESSION_SHOTS"))
    {
    }

    void Start()
    {
        QueueCall([this] { Look(); });
    }

private:
    void Look()
    {
        // A box counts once the window system shows it.
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && !(box->isVisible() && box->windowHandle() && box->windowHandle()->isExposed()))
            box = nullptr;
        if (box && box != last_) {
            last_ = box;
            settled_ = 0;
        } else if (box && box == last_ && ++settled_ == 3) {
            Answer(box);
        }
        // A person looks again a moment later.
        usleep(2000);
        QueueCall([this] { Look(); });
    }

    void Answer(QMessageBox *box)
    {
        ++boxes_;
        const std::string text = box->text().replace('\n', " | ").toStdString();
        Log("box " + box->windowTitle().toStdString() + ": " + text);
        Picture(box);
        QAbstractButton *button = box->button(QMessageBox::Yes) ? box->button(no_ ? QMessageBox::No : QMessageBox::Yes)
                                                                 : box->button(QMessageBox::Ok);
        if (!button)
            return;
        Log("click " + button->text().remove(QChar('&')).toStdString());
        const QPointF centre(button->width() / 2.0, button->height() / 2.0);
        for (QEvent::Type type : { QEvent::MouseButtonPress, QEvent::MouseButtonRelease }) {
            QMouseEvent event(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(button, &event);
        }
    }

    // On a real display the box as the screen shows it, with the frame the
    // window manager put around it; without one, the box itself.
    void Picture(QMessageBox *box)
    {
        if (shots_.empty())
            return;
        std::filesystem::create_directories(shots_);
        QPixmap picture;
        if (QGuiApplication::platformName() == "xcb") {
            // What the box paints reaches the screen before it is read back.
            box->repaint();
            QGuiApplication::sync();
            const QRect frame = box->frameGeometry();
            picture = box->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        } else {
            picture = box->grab();
        }
        picture.save(QString::fromStdString(shots_ + "/uninstall-" + std::to_string(boxes_) + ".png"));
    }

    bool no_;
    std::string shots_;
    QPointer<QMessageBox> last_;
    int settled_ = 0, boxes_ = 0;
};

} // namespace

int main(int argc, char **argv)
{
    // A session that stops moving fails its test instead of holding it up.
    alarm(120);
    const std::string product = StartUninstaller(argc, argv);
    int result = 0;
    {
        Person person;
        person.Start();
        result = RunUninstaller(product);
        Log("end " + std::to_string(result));
    }
    ShutdownApplication();
    return result;
}
