// The Update Firmware command as the program runs it: the real firmware dialog and message boxes,
// answered by the test, the browser reached through Qt's desktop services and the flashing tool
// started as a real process.
#include "firmware/command_fixture.h"
#include "ui/firmware_dlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

// Takes the addresses the desktop would hand to the browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QStringList urls;
public slots:
    void Open(const QUrl& url) { urls << url.toString(); }
};

// Answers the modal windows that open, one step per window, in order.
class ModalScript
{
public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps))
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || modal == last_.data() || next_ >= steps_.size())
                return;
            last_ = modal;
            steps_[next_++](modal);
        });
        timer_.start();
    }
    size_t Answered() const { return next_; }

private:
    std::vector<Step> steps_;
    size_t next_ = 0;
    QPointer<QWidget> last_;
    QTimer timer_;
};

// A step that presses button `id` of the firmware dialog, after recording what it shows.
struct SeenFirmwareDialog
{
    QString title;
    QString message;
    bool download = false;
    bool update = false;
};
ModalScript::Step PressFirmwareButton(int id, SeenFirmwareDialog& seen)
{
    return [id, &seen](QWidget* modal) {
        auto* dlg = dynamic_cast<CFirmwareDlg*>(modal);
        ASSERT_NE(dlg, nullptr) << modal->metaObject()->className();
        seen.title = dlg->windowTitle();
        seen.message = dlg->ControlAs<QLabel>(1008)->text();
        seen.download = dlg->Control(1)->isVisible();
        seen.update = dlg->Control(1007)->isVisible();
        dlg->ControlAs<QPushButton>(id)->click();
    };
}

// A step that presses `button` of a message box, after recording its caption and text.
ModalScript::Step PressBoxButton(QMessageBox::StandardButton button, QString& caption, QString& text)
{
    return [button, &caption, &text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << modal->metaObject()->className();
        caption = box->windowTitle();
        text = box->text();
        ASSERT_NE(box->button(button), nullptr);
        box->button(button)->click();
    };
}

class FirmwareCommandScreenTest : public FirmwareCommandFixture
{
protected:
    void SetUp() override
    {
        FirmwareCommandFixture::SetUp();
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "Open");
    }
    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        FirmwareCommandFixture::TearDown();
    }

    // A "wine" that writes its command line to a file, so the started tool can be observed.
    fs::path RecordingWine()
    {
        const fs::path log = root.Path() / "wine.log";
        root.WriteFile("bin/wine", "#!/bin/sh\necho \"$@\" > '" + log.string() + ".part'\n/bin/mv '" + log.string() +
                                       ".part' '" + log.string() + "'\n");
        fs::permissions(root.Path() / "bin/wine", fs::perms::owner_all);
        return log;
    }

    static std::string WaitForFile(const fs::path& path)
    {
        for (int i = 0; i < 500 && !fs::exists(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void Run(const std::string& folder)
    {
        QWidget window;
        FirmwareCommandScreen screen(&window);
        OnUpdateFirmware(Context(folder, &record), screen);
    }

    UrlCatcher catcher;
};

TEST_F(FirmwareCommandScreenTest, DownloadOpensTheBrowserAndExplainsTheFile)
{
    SeenFirmwareDialog dialog;
    QString caption, text;
    ModalScript script({PressFirmwareButton(1, dialog), PressBoxButton(QMessageBox::Ok, caption, text)});
    Run(EmptyFolder());

    EXPECT_EQ(script.Answered(), 2u);
    EXPECT_EQ(dialog.title, QStringLiteral("Download firmware"));
    EXPECT_TRUE(dialog.download);
    EXPECT_FALSE(dialog.update);
    EXPECT_TRUE(dialog.message.contains(QStringLiteral("Version on Orvanta website is 4.30.")));
    EXPECT_EQ(catcher.urls, QStringList{QStringLiteral("http://www.example.test/firmcast/update16.zip")});
    EXPECT_EQ(caption, QStringLiteral("Trawlix"));
    EXPECT_TRUE(text.contains(QStringLiteral("\"update16.zip\""))) << text.toStdString();
}

TEST_F(FirmwareCommandScreenTest, UpdateForAnotherOemAsksAndStartsTheToolOnlyOnYes)
{
    const fs::path log = RecordingWine();
    const std::string folder = ToolFolder("update7");

    SeenFirmwareDialog dialog;
    QString caption, text;
    {
        ModalScript script({PressFirmwareButton(1007, dialog), PressBoxButton(QMessageBox::No, caption, text)});
        Run(folder);
        EXPECT_EQ(script.Answered(), 2u);
    }
    EXPECT_TRUE(dialog.download);
    EXPECT_TRUE(dialog.update);
    EXPECT_EQ(caption, QStringLiteral("Trawlix"));
    EXPECT_TRUE(text.contains(QStringLiteral("firmware of OEM 16 with the firmware of OEM 7"))) << text.toStdString();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(log)) << "No started the tool";

    {
        ModalScript script({PressFirmwareButton(1007, dialog), PressBoxButton(QMessageBox::Yes, caption, text)});
        Run(folder);
        EXPECT_EQ(script.Answered(), 2u);
    }
    EXPECT_EQ(WaitForFile(log), folder + "/setup.exe -ip 192.168.1.20\n");
    EXPECT_TRUE(catcher.urls.isEmpty());
}

} // namespace

#include "firmware_command_screen_test.moc"
