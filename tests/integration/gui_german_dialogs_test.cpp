// Qt's own dialogs under a German user interface: the export file dialog and its overwrite
// question, reached the way a user reaches them (a search of a simulated network in a namespace of
// the test's own, then the list's context menu), with the translations the program installs.
#include "probe/job_probes.h"
#include "resources/string_table.h"
#include "testsupport/child_process.h"
#include "testsupport/private_network.h"
#include "testsupport/temp_folder.h"
#include "ui/framework/gui_queue_bridge.h"
#include "ui/framework/qt_translations.h"
#include "ui/trawlix_dlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <thread>

// Failures show the texts themselves.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace std::chrono_literals;

constexpr const char* kNetwork = R"(# one adapter and the vendor
legacy 10.57.0.1 plain hardware=LX300|firmware=LX200 v 4.26.16|mac=00:00:00:00:03:01|manufacturer=Voltara|location=Halle
vendor 10.99.0.1
latest 17 16 4.30
)";

bool WaitUntil(const std::function<bool()>& done)
{
    const auto limit = std::chrono::steady_clock::now() + 60s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

QStringList Texts(const QList<QAbstractButton*>& buttons)
{
    QStringList texts;
    for (const QAbstractButton* button : buttons)
        texts << button->text();
    return texts;
}

// Looks every few milliseconds while the timer lives: how the modal dialogs and the menu, which
// block the test's own code while they are open, are read and answered.
std::unique_ptr<QTimer> Watch(std::function<void()> look)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(5);
    QObject::connect(timer.get(), &QTimer::timeout, std::move(look));
    timer->start();
    return timer;
}

QString LabelText(const QWidget& dialog, const char* name)
{
    const auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
    return label != nullptr ? label->text() : QStringLiteral("(none)");
}

// What the user saw of the two dialogs.
struct Seen
{
    int fileDialogs = 0;
    QStringList labels;
    QStringList buttons;
    QStringList columns;
    int questions = 0;
    QStringList questionButtons;
};

TEST(GermanQtTexts, ExportDialogAndItsOverwriteQuestionSpeakGerman)
{
    testsupport::TempFolder folder;
    std::string failed;
    ASSERT_TRUE(testsupport::AddNetworkAddresses(kNetwork, &failed)) << failed;
    testsupport::ChildProcess sim(TRAWLIX_SIM_PATH, {folder.WriteFile("test.net", kNetwork).string()});
    ASSERT_TRUE(sim.WaitForOutput("ready", 30s)) << sim.Errors();

    trawlix::SetLanguage(trawlix::Language::German);
    const std::unique_ptr<QTranslator> qtTexts = trawlix::ui::InstallQtTranslations(trawlix::Language::German);
    ASSERT_NE(qtTexts, nullptr) << "no qtbase_de.qm in " << trawlix::ui::QtTranslationsFolder().toStdString()
                                << " (Debian package qt6-translations-l10n)";

    trawlix::ui::GuiQueueBridge bridge{[](int) {}};
    AppSettings app;
    app.autoScan = false;
    app.scanDefaultAddress = false;
    app.scanRange = true;
    app.subnet = "10.57.0.*";
    app.firstHost = 1;
    app.lastHost = 1;
    ProbeConfig probes;
    probes.updateServer = "10.99.0.1";
    // The factory address is not searched, so no route is looked at; no helper is ever run.
    FactoryRouteAccess route;
    route.helper = {};
    CTrawlixDlg window(app, MakeSearchProbes(probes), route, [](const QUrl&) { return true; });
    window.interfaceAddresses = [] { return std::vector<InterfaceAddress>{}; };
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // The search, as the Start button starts it; it is over when the button offers it again.
    auto* start = qobject_cast<QAbstractButton*>(window.Control(CTrawlixDlg::kIdStartStop));
    ASSERT_NE(start, nullptr);
    const QString startText = QString::fromStdString(trawlix::LoadString(trawlix::TextId::StartSearch));
    QTest::mouseClick(start, Qt::LeftButton);
    auto* list = window.findChild<QTreeView*>();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return list->model()->rowCount() == 1 && start->text() == startText; }));

    // An earlier export that the overwrite question protects.
    const QString existing = QString::fromStdString(folder.WriteFile("liste.csv", "alt\n").string());

    // The file dialog is read and given the existing file's name; the question is read and
    // answered No, which returns to the file dialog, which is then cancelled. The question opens
    // while the file dialog's answer still runs, so a timer of its own answers it.
    auto seen = std::make_shared<Seen>();
    const auto questions = Watch([seen] {
        auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (question == nullptr || !question->isVisible())
            return;
        ++seen->questions;
        seen->questionButtons = Texts(question->buttons());
        if (QAbstractButton* no = question->button(QMessageBox::No))
            QTest::mouseClick(no, Qt::LeftButton);
        else
            question->reject();
    });
    const auto dialogs = Watch([seen, existing] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (seen->fileDialogs++ > 0 || name == nullptr) {
            dialog->reject();
            return;
        }
        seen->labels = {LabelText(*dialog, "lookInLabel"), LabelText(*dialog, "fileNameLabel"),
                        LabelText(*dialog, "fileTypeLabel")};
        if (const auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
            seen->buttons = Texts(box->buttons());
        if (const auto* files = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
            for (int column = 0; column < files->header()->count(); ++column)
                seen->columns << files->model()->headerData(column, Qt::Horizontal).toString();
        name->setText(existing);
        QTest::keyClick(name, Qt::Key_Return);
    });

    // A right click on the row opens the list's menu; its E entry ("Liste &exportieren...") the dialog.
    int menus = 0;
    const auto menu = Watch([&menus] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (popup != nullptr && popup->isVisible()) {
            ++menus;
            QTest::keyClick(popup, Qt::Key_E);
        }
    });
    const QPoint row = list->visualRect(list->model()->index(0, 0)).center();
    QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, list->viewport()->mapTo(&window, row));
    ASSERT_TRUE(WaitUntil([&] { return seen->fileDialogs >= 2 && QApplication::activeModalWidget() == nullptr; }));

    EXPECT_EQ(menus, 1);
    EXPECT_EQ(seen->labels, (QStringList{QStringLiteral("Suchen in:"), QStringLiteral("Datei&name:"),
                                         QStringLiteral("Dateien des Typs:")}));
    EXPECT_EQ(seen->buttons, (QStringList{QStringLiteral("S&peichern"), QStringLiteral("Abbrechen")}));
    EXPECT_EQ(seen->columns, (QStringList{QStringLiteral("Name"), QStringLiteral("Größe"), QStringLiteral("Typ"),
                                          QStringLiteral("Änderungsdatum")}));
    EXPECT_EQ(seen->questions, 1);
    EXPECT_EQ(seen->questionButtons, (QStringList{QStringLiteral("&Ja"), QStringLiteral("&Nein")}));
    // No kept the earlier export.
    QFile kept(existing);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("alt\n"));
    window.reject();
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!testsupport::EnterPrivateNetworkOrSaySkipped())
        return testsupport::kSkippedExitCode;
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
