#include "resources/dialog_template.h"
#include "resources/dialog_template_data.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using trawlix::ControlKind;
using trawlix::ControlStyle;
using trawlix::DialogTemplate;
using trawlix::Language;
using trawlix::LoadDialogTemplate;
using trawlix::ParseDialogTemplate;

std::set<int> ControlIds(const DialogTemplate& dialog)
{
    std::set<int> ids;
    for (const auto& control : dialog.controls) {
        if (control.id != trawlix::kNoControlId)
            ids.insert(control.id);
    }
    return ids;
}

TEST(DialogTemplateDataTest, EveryTemplateParsesInBothLanguagesWithTheSameIdsAndKinds)
{
    EXPECT_EQ(trawlix::DialogTemplateIds(), (std::vector<int>{100, 102, 129, 131, 146}));
    for (std::size_t i = 0; i < trawlix::dialogs::kTemplateSourceCount; ++i) {
        const auto& source = trawlix::dialogs::kTemplateSources[i];
        const auto parsed = ParseDialogTemplate(source.text, source.name);
        EXPECT_TRUE(parsed.dialog.has_value()) << parsed.error;
    }
    for (const int id : trawlix::DialogTemplateIds()) {
        SCOPED_TRACE(id);
        const DialogTemplate& en = LoadDialogTemplate(id, Language::English);
        const DialogTemplate& de = LoadDialogTemplate(id, Language::German);
        EXPECT_EQ(en.id, id);
        EXPECT_EQ(de.id, id);
        EXPECT_EQ(ControlIds(en), ControlIds(de));
        ASSERT_EQ(en.controls.size(), de.controls.size());
        for (std::size_t c = 0; c < en.controls.size(); ++c) {
            EXPECT_EQ(en.controls[c].id, de.controls[c].id);
            EXPECT_EQ(en.controls[c].kind, de.controls[c].kind);
            EXPECT_EQ(en.controls[c].styles, de.controls[c].styles);
        }
        EXPECT_EQ(en.fontFamily, "MS Shell Dlg");
        EXPECT_EQ(en.fontPoints, 8);
    }
}

TEST(DialogTemplateDataTest, TemplatesCarryTheirCaptionsGeometryAndStyles)
{
    const DialogTemplate& settings = LoadDialogTemplate(129, Language::German);
    EXPECT_EQ(settings.caption, "Einstellungen der Netzwerksuche");
    EXPECT_EQ(settings.width, 334);
    EXPECT_EQ(settings.height, 132);
    EXPECT_EQ(LoadDialogTemplate(129, Language::English).height, 133);
    const auto* https = settings.Find(1007);
    ASSERT_NE(https, nullptr);
    EXPECT_EQ(https->kind, ControlKind::CheckBox);
    EXPECT_TRUE(https->Has(ControlStyle::Hidden));
    EXPECT_TRUE(https->Has(ControlStyle::Disabled));
    const auto* stored = settings.Find(1095);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->kind, ControlKind::DropDown);
    EXPECT_TRUE(stored->Has(ControlStyle::Sorted));
    EXPECT_TRUE(settings.Find(1014)->Has(ControlStyle::Password));

    const DialogTemplate& main = LoadDialogTemplate(102, Language::English);
    const auto* list = main.Find(1001);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->kind, ControlKind::ListView);
    EXPECT_EQ((std::vector<int>{list->x, list->y, list->width, list->height}), (std::vector<int>{7, 29, 539, 264}));
    EXPECT_TRUE(main.Find(1)->Has(ControlStyle::Default));
    EXPECT_TRUE(main.Find(1004)->Has(ControlStyle::Image));
    EXPECT_TRUE(main.Find(1002)->Has(ControlStyle::Bold));
    EXPECT_EQ(LoadDialogTemplate(102, Language::German).Find(1005)->caption, "Gerät &konfigurieren");

    const DialogTemplate& noRoute = LoadDialogTemplate(146, Language::English);
    EXPECT_EQ(noRoute.Find(1012)->caption, "&Add route");
    EXPECT_EQ(LoadDialogTemplate(146, Language::German).Find(1012)->caption, "Route &hinzufügen");
    EXPECT_EQ(noRoute.Find(1009)->imageId, 144);
    EXPECT_EQ(LoadDialogTemplate(146, Language::German).height, 158);
    EXPECT_EQ(LoadDialogTemplate(131, Language::German).Find(2)->caption, "Abbruch");
    EXPECT_EQ(LoadDialogTemplate(100, Language::German).caption, "Über Trawlix");
}

TEST(DialogTemplateDataTest, UnknownTemplateIdThrows)
{
    EXPECT_THROW((void)LoadDialogTemplate(101, Language::English), std::runtime_error);
}

constexpr const char* kHeader = "dialog 7\nsize 10 20\ncaption \"T\"\nfont \"F\" 8\n";

TEST(DialogTemplateParserTest, ReadsEscapesWordsAndSkipsRemarks)
{
    const std::string text = std::string(kHeader) + "# remark\n\n" +
                             "control 5 static \"a \\\"b\\\" \\\\ c\\nd\" -3 4 5 6 noprefix group\r\n"
                             "control - icon \"\" 1 2 3 4 icon=143\n";
    const auto parsed = ParseDialogTemplate(text);
    ASSERT_TRUE(parsed.dialog) << parsed.error;
    ASSERT_EQ(parsed.dialog->controls.size(), 2u);
    const auto& label = parsed.dialog->controls[0];
    EXPECT_EQ(label.caption, "a \"b\" \\ c\nd");
    EXPECT_EQ(label.x, -3);
    EXPECT_TRUE(label.Has(ControlStyle::NoPrefix));
    EXPECT_TRUE(label.Has(ControlStyle::Group));
    EXPECT_FALSE(label.Has(ControlStyle::TabStop));
    EXPECT_EQ(parsed.dialog->controls[1].id, trawlix::kNoControlId);
    EXPECT_EQ(parsed.dialog->controls[1].imageId, 143);
}

TEST(DialogTemplateParserTest, RejectsMalformedTemplatesWithTheLineNumber)
{
    struct Case
    {
        std::string text;
        std::string line; // expected "name:<line>:" prefix
    };
    const std::string h = kHeader; // four lines
    const Case cases[] = {
        {h + "control 1 button \"OK\" 1 2 3 4\ncontrol 1 button \"X\" 1 2 3 4\n", "t:6:"}, // duplicate id
        {h + "control 1 slider \"\" 1 2 3 4\n", "t:5:"},                                   // unknown kind
        {h + "control 1 button \"OK\" 1 2 3\n", "t:5:"},                                   // missing height
        {h + "control 1 button \"OK\" 1 2 -3 4\n", "t:5:"},                                // negative width
        {h + "control 1 button \"OK\" 1 2 3 4 shiny\n", "t:5:"},                           // unknown word
        {h + "control 1 button \"OK\" 1 2 3 4 tabstop tabstop\n", "t:5:"},                 // word twice
        {h + "control 1 button \"OK 1 2 3 4\n", "t:5:"},                                   // open quote
        {h + "control 1 button \"O\\k\" 1 2 3 4\n", "t:5:"},                               // bad escape
        {h + "control 1 button OK 1 2 3 4\n", "t:5:"},                                     // caption unquoted
        {h + "control 1 icon \"\" 1 2 3 4\n", "t:5:"},                                     // icon without image
        {h + "control 1 static \"\" 1 2 3 4 default\n", "t:5:"},                           // default on a label
        {h + "control 70000 button \"\" 1 2 3 4\n", "t:5:"},                               // id too large
        {h + "control 1 button \"\" 1 2 3 4x\n", "t:5:"},                                  // trailing garbage
        {h + "size 1 1\n", "t:5:"},                                                        // second size
        {h + "style resizable\n", "t:5:"},                                                 // unknown style
        {"size 1 1\n", "t:1:"},                                                            // no dialog line
        {"dialog 7\nsize 10 20\ncaption \"T\"\n", "t:3:"},                                 // no font
    };
    for (const Case& c : cases) {
        const auto parsed = ParseDialogTemplate(c.text, "t");
        EXPECT_FALSE(parsed.dialog.has_value()) << c.text;
        EXPECT_TRUE(parsed.error.starts_with(c.line)) << c.text << " -> " << parsed.error;
    }
}

} // namespace
