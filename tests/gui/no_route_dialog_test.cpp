#include "app/host_route.h"
#include "resources/string_table.h"
#include "ui/no_route_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace trawlix;

// Opens the dialog, lets `act` work on it once it runs, and returns how it ended.
template <class Act> int RunNoRoute(CNoRoute& dialog, Act act)
{
    QMetaObject::invokeMethod(
        &dialog, [&] { act(); }, Qt::QueuedConnection);
    return dialog.exec();
}

QString Label(const CNoRoute& dialog, int id)
{
    return dialog.ControlAs<QLabel>(id)->text();
}

// pkexec as the tests play it: records each interface it was asked for and ends with the next of
// `statuses`, from the event loop as the real process does.
struct FakePkexec
{
    std::vector<int> statuses;
    std::vector<std::string> asked;

    RouteHelperLauncher Launcher()
    {
        return [this](QObject* owner, const std::string& interfaceName, std::function<void(int)> finished) {
            asked.push_back(interfaceName);
            const int status = statuses.at(asked.size() - 1);
            QTimer::singleShot(0, owner, [finished, status] { finished(status); });
        };
    }
};

TEST(NoRouteTest, OkTakesTheTickedBox)
{
    CNoRoute dialog;
    const int result = RunNoRoute(dialog, [&] {
        EXPECT_TRUE(dialog.ControlAs<QPushButton>(2)->isHidden());
        EXPECT_FALSE(dialog.ControlAs<QCheckBox>(1010)->isChecked());
        QTest::mouseClick(dialog.ControlAs<QCheckBox>(1010), Qt::LeftButton);
        QTest::mouseClick(dialog.ControlAs<QPushButton>(1), Qt::LeftButton);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.dontShowAgain, 1);
}

TEST(NoRouteTest, EscapeAndTheCloseBoxLeaveTheChoiceAlone)
{
    {
        CNoRoute dialog;
        const int result = RunNoRoute(dialog, [&] {
            QTest::mouseClick(dialog.ControlAs<QCheckBox>(1010), Qt::LeftButton);
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(dialog.dontShowAgain, 0);
    }
    {
        CNoRoute dialog;
        const int result = RunNoRoute(dialog, [&] {
            dialog.ControlAs<QCheckBox>(1010)->setChecked(true);
            dialog.close();
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(dialog.dontShowAgain, 0);
    }
}

TEST(NoRouteTest, OpensWithTheCurrentChoiceAndUntickingCounts)
{
    CNoRoute dialog;
    dialog.dontShowAgain = 1;
    const int result = RunNoRoute(dialog, [&] {
        EXPECT_TRUE(dialog.ControlAs<QCheckBox>(1010)->isChecked());
        QTest::mouseClick(dialog.ControlAs<QCheckBox>(1010), Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.dontShowAgain, 0);
}

TEST(NoRouteTest, NamesTheInterfaceAndAsksNoOneToRestartAnything)
{
    FakePkexec pkexec;
    for (const Language language : {Language::English, Language::German}) {
        SetLanguage(language);
        CNoRoute dialog("enp0s31f6", pkexec.Launcher());
        CNoRoute noCable("", pkexec.Launcher());
        SetLanguage(Language::English);
        const QString route = Label(dialog, CNoRoute::kIdRouteText);
        EXPECT_TRUE(route.endsWith(QStringLiteral(": enp0s31f6."))) << route.toStdString();
        EXPECT_TRUE(dialog.Control(CNoRoute::kIdAddRoute)->isEnabled());
        // Without a wired interface that has a link there is nothing to add a route through.
        EXPECT_NE(Label(noCable, CNoRoute::kIdRouteText), route);
        EXPECT_FALSE(noCable.Control(CNoRoute::kIdAddRoute)->isEnabled());
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            for (const char* advice : {"sudo", "root", "CAP_NET_ADMIN", "Administrator ausf"})
                EXPECT_FALSE(label->text().contains(QLatin1String(advice))) << label->text().toStdString();
        }
    }
    SetLanguage(Language::German);
    CNoRoute german;
    SetLanguage(Language::English);
    EXPECT_EQ(german.ControlAs<QCheckBox>(1010)->text(), QStringLiteral("&Diesen Hinweis nicht wieder anzeigen."));
    EXPECT_EQ(german.Control(1009)->property("imageId").toInt(), 144);
    EXPECT_TRUE(pkexec.asked.empty());
}

TEST(NoRouteTest, TheButtonHasTheSystemAddTheRouteAndTheDialogSaysHowItWent)
{
    struct Case
    {
        int status;
        const char* says; // empty: the dialog closes with the route in place
    };
    const Case cases[] = {
        {0, ""},
        {3, ""}, // present already
        {126, "The route was not added: no administrator password was given."},
        {127, "The route was not added: the system did not allow it."},
        {4, "The route was not added: the interface enp0s31f6 is missing or down."},
        {5, "The route was not added: the interface enp0s31f6 is missing or down."},
        {-1, "The route could not be added: pkexec is not installed."},
        {1, "The route could not be added (status 1)."},
        {2, "The route could not be added (status 2)."},
    };
    for (const Case& c : cases) {
        FakePkexec pkexec{{c.status}, {}};
        CNoRoute dialog("enp0s31f6", pkexec.Launcher());
        auto* button = dialog.ControlAs<QPushButton>(CNoRoute::kIdAddRoute);
        QString waiting;
        QString outcome;
        const int result = RunNoRoute(dialog, [&] {
            QTest::mouseClick(button, Qt::LeftButton);
            // While the system asks, the button cannot be pressed again.
            EXPECT_FALSE(button->isEnabled());
            waiting = Label(dialog, CNoRoute::kIdOutcome);
            if (*c.says == '\0')
                return;
            EXPECT_TRUE(QTest::qWaitFor([&] { return button->isEnabled(); }));
            outcome = Label(dialog, CNoRoute::kIdOutcome);
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        EXPECT_EQ(pkexec.asked, std::vector<std::string>{"enp0s31f6"}) << c.status;
        EXPECT_EQ(waiting.toStdString(), "Waiting for the administrator password...") << c.status;
        if (*c.says == '\0') {
            EXPECT_EQ(result, CNoRoute::kIdAddRoute) << c.status;
        } else {
            EXPECT_EQ(result, 2) << c.status;
            EXPECT_EQ(outcome.toStdString(), c.says) << c.status;
        }
    }
}

TEST(NoRouteTest, AfterADismissedPromptTheKeyboardTriesAgain)
{
    FakePkexec pkexec{{126, 0}, {}};
    // The program's language is set once at start; the dialog's texts follow it at any time.
    struct German
    {
        German() { SetLanguage(Language::German); }
        ~German() { SetLanguage(Language::English); }
    } german;
    CNoRoute dialog("eth1", pkexec.Launcher());
    QString outcome;
    const int result = RunNoRoute(dialog, [&] {
        // Mnemonics belong to the active window.
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTest::mouseClick(dialog.ControlAs<QCheckBox>(1010), Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_H, Qt::AltModifier); // "Route &hinzufügen"
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return pkexec.asked.size() == 1 && dialog.Control(CNoRoute::kIdAddRoute)->isEnabled(); }));
        outcome = Label(dialog, CNoRoute::kIdOutcome);
        QTest::keyClick(&dialog, Qt::Key_H, Qt::AltModifier);
    });
    EXPECT_EQ(outcome.toStdString(),
              "Die Route wurde nicht hinzugefügt: Es wurde kein Administratorkennwort eingegeben.");
    EXPECT_EQ(result, CNoRoute::kIdAddRoute);
    EXPECT_EQ(pkexec.asked.size(), 2u);
    // The tick counts once the route is in place.
    EXPECT_EQ(dialog.dontShowAgain, 1);
}

TEST(NoRouteTest, ShownOnlyWhenEveryConditionHolds)
{
    for (int bits = 0; bits < 16; ++bits) {
        const bool found = (bits & 1) != 0;
        const bool searched = (bits & 2) != 0;
        const bool routePresent = (bits & 4) != 0;
        const bool suppressed = (bits & 8) != 0;
        EXPECT_EQ(ShouldShowNoRoute(found, searched, routePresent, suppressed), bits == 2)
            << "found " << found << " searched " << searched << " route " << routePresent << " suppressed "
            << suppressed;
    }
}

} // namespace
