#include "resources/dialog_template.h"

#include "resources/dialog_template_data.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace trawlix {

namespace {

struct Token
{
    std::string text;
    bool quoted = false;
};

// Splits a line into blank-separated words and quoted texts. Returns an error text or empty.
std::string Tokenize(std::string_view line, std::vector<Token>& tokens)
{
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        Token token;
        if (c == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d != '\\') {
                    token.text.push_back(d);
                    continue;
                }
                if (i == line.size())
                    return "text ends in a backslash";
                const char e = line[i++];
                if (e == 'n')
                    token.text.push_back('\n');
                else if (e == '"' || e == '\\')
                    token.text.push_back(e);
                else
                    return std::string("unknown escape \\") + e;
            }
            if (!closed)
                return "text without closing quote";
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                return "blank expected after a text";
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                if (line[i] == '"')
                    return "quote inside a word";
                token.text.push_back(line[i++]);
            }
        }
        tokens.push_back(std::move(token));
    }
    return {};
}

bool ToInt(const Token& token, int& value, int low, int high)
{
    if (token.quoted || token.text.empty())
        return false;
    const char* first = token.text.data();
    const char* last = first + token.text.size();
    int parsed = 0;
    const auto [end, ec] = std::from_chars(first, last, parsed);
    if (ec != std::errc() || end != last || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

const std::map<std::string_view, ControlKind, std::less<>>& Kinds()
{
    static const std::map<std::string_view, ControlKind, std::less<>> kinds = {
        {"static", ControlKind::Static},     {"groupbox", ControlKind::GroupBox}, {"button", ControlKind::Button},
        {"checkbox", ControlKind::CheckBox}, {"edit", ControlKind::Edit},         {"ipaddress", ControlKind::IpAddress},
        {"dropdown", ControlKind::DropDown}, {"listview", ControlKind::ListView}, {"progress", ControlKind::Progress},
        {"icon", ControlKind::Icon},
    };
    return kinds;
}

const std::map<std::string_view, ControlStyle, std::less<>>& ControlStyles()
{
    static const std::map<std::string_view, ControlStyle, std::less<>> styles = {
        {"tabstop", ControlStyle::TabStop},   {"group", ControlStyle::Group},
        {"disabled", ControlStyle::Disabled}, {"hidden", ControlStyle::Hidden},
        {"default", ControlStyle::Default},   {"sorted", ControlStyle::Sorted},
        {"vscroll", ControlStyle::VScroll},   {"password", ControlStyle::Password},
        {"bold", ControlStyle::Bold},         {"noprefix", ControlStyle::NoPrefix},
        {"report", ControlStyle::Report},     {"image", ControlStyle::Image},
    };
    return styles;
}

const std::map<std::string_view, DialogStyle, std::less<>>& DialogStyles()
{
    static const std::map<std::string_view, DialogStyle, std::less<>> styles = {
        {"modalframe", DialogStyle::ModalFrame},   {"sysmenu", DialogStyle::SysMenu},
        {"minimizebox", DialogStyle::MinimizeBox}, {"maximizebox", DialogStyle::MaximizeBox},
        {"appwindow", DialogStyle::AppWindow},
    };
    return styles;
}

constexpr int kMaxUnits = 32767;

// Reads the words after the geometry of a control line; returns an error text or empty.
std::string ReadControlWords(const std::vector<Token>& tokens, std::size_t first, ControlTemplate& control)
{
    for (std::size_t i = first; i < tokens.size(); ++i) {
        const Token& word = tokens[i];
        if (word.quoted)
            return "unexpected text \"" + word.text + "\"";
        if (word.text.starts_with("icon=")) {
            Token number{word.text.substr(5), false};
            if (control.kind != ControlKind::Icon)
                return "icon= belongs to an icon control";
            if (!ToInt(number, control.imageId, 1, 65535))
                return "icon= needs a resource id from 1 to 65535";
            continue;
        }
        const auto style = ControlStyles().find(word.text);
        if (style == ControlStyles().end())
            return "unknown control word '" + word.text + "'";
        const auto bit = static_cast<std::uint32_t>(style->second);
        if ((control.styles & bit) != 0)
            return "word '" + word.text + "' given twice";
        control.styles |= bit;
    }
    if (control.kind == ControlKind::Icon && control.imageId == 0)
        return "an icon control needs icon=<id>";
    if (control.Has(ControlStyle::Default) && control.kind != ControlKind::Button)
        return "only a button can be the default";
    if (control.Has(ControlStyle::Image) && control.kind != ControlKind::Button)
        return "only a button shows images";
    return {};
}

std::string ParseLine(const std::vector<Token>& tokens, DialogTemplate& dialog, bool& sawDialog, bool& sawSize,
                      bool& sawCaption, bool& sawFont)
{
    const std::string& key = tokens[0].text;
    if (tokens[0].quoted)
        return "a line starts with a keyword";
    if (key != "dialog" && !sawDialog)
        return "the first line must be 'dialog <id>'";
    const std::size_t args = tokens.size() - 1;
    if (key == "dialog") {
        if (sawDialog)
            return "second 'dialog' line";
        if (args != 1 || !ToInt(tokens[1], dialog.id, 1, 65535))
            return "expected 'dialog <id>' with an id from 1 to 65535";
        sawDialog = true;
    } else if (key == "size") {
        if (sawSize)
            return "second 'size' line";
        if (args != 2 || !ToInt(tokens[1], dialog.width, 1, kMaxUnits) ||
            !ToInt(tokens[2], dialog.height, 1, kMaxUnits))
            return "expected 'size <width> <height>' in positive dialog units";
        sawSize = true;
    } else if (key == "caption") {
        if (sawCaption)
            return "second 'caption' line";
        if (args != 1 || !tokens[1].quoted)
            return "expected 'caption \"<text>\"'";
        dialog.caption = tokens[1].text;
        sawCaption = true;
    } else if (key == "font") {
        if (sawFont)
            return "second 'font' line";
        if (args != 2 || !tokens[1].quoted || tokens[1].text.empty() || !ToInt(tokens[2], dialog.fontPoints, 1, 72))
            return "expected 'font \"<family>\" <points>'";
        dialog.fontFamily = tokens[1].text;
        sawFont = true;
    } else if (key == "style") {
        for (std::size_t i = 1; i < tokens.size(); ++i) {
            const auto style = DialogStyles().find(tokens[i].text);
            if (tokens[i].quoted || style == DialogStyles().end())
                return "unknown dialog style '" + tokens[i].text + "'";
            dialog.styles |= static_cast<std::uint32_t>(style->second);
        }
    } else if (key == "control") {
        if (args < 7)
            return "expected 'control <id|-> <kind> \"<caption>\" <x> <y> <width> <height> [words]'";
        ControlTemplate control;
        if (!(tokens[1].text == "-" && !tokens[1].quoted) && !ToInt(tokens[1], control.id, 1, 65535))
            return "control id must be '-' or a number from 1 to 65535";
        const auto kind = Kinds().find(tokens[2].text);
        if (tokens[2].quoted || kind == Kinds().end())
            return "unknown control kind '" + tokens[2].text + "'";
        control.kind = kind->second;
        if (!tokens[3].quoted)
            return "the caption must be a quoted text (\"\" for none)";
        control.caption = tokens[3].text;
        if (!ToInt(tokens[4], control.x, -kMaxUnits, kMaxUnits) ||
            !ToInt(tokens[5], control.y, -kMaxUnits, kMaxUnits) || !ToInt(tokens[6], control.width, 0, kMaxUnits) ||
            !ToInt(tokens[7], control.height, 0, kMaxUnits))
            return "control position and size must be numbers (size not negative)";
        if (std::string error = ReadControlWords(tokens, 8, control); !error.empty())
            return error;
        if (control.id != kNoControlId && dialog.Find(control.id) != nullptr)
            return "control id " + std::to_string(control.id) + " appears twice";
        dialog.controls.push_back(std::move(control));
    } else {
        return "unknown keyword '" + key + "'";
    }
    return {};
}

} // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const
{
    if (controlId == kNoControlId)
        return nullptr;
    const auto it =
        std::find_if(controls.begin(), controls.end(), [&](const ControlTemplate& c) { return c.id == controlId; });
    return it == controls.end() ? nullptr : &*it;
}

DialogParseResult ParseDialogTemplate(std::string_view text, std::string_view sourceName)
{
    DialogParseResult result;
    DialogTemplate dialog;
    bool sawDialog = false, sawSize = false, sawCaption = false, sawFont = false;
    int lineNumber = 0;
    auto fail = [&](int line, const std::string& reason) {
        result.error = std::string(sourceName) + ":" + std::to_string(line) + ": " + reason;
        return result;
    };
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string_view::npos || line[start] == '#')
            continue;
        std::vector<Token> tokens;
        if (std::string error = Tokenize(line, tokens); !error.empty())
            return fail(lineNumber, error);
        if (std::string error = ParseLine(tokens, dialog, sawDialog, sawSize, sawCaption, sawFont); !error.empty())
            return fail(lineNumber, error);
    }
    if (!sawDialog || !sawSize || !sawCaption || !sawFont)
        return fail(lineNumber, "a template needs 'dialog', 'size', 'caption' and 'font' lines");
    result.dialog = std::move(dialog);
    return result;
}

namespace {

struct LoadedTemplates
{
    // (id, language) -> template, or the parse error of its text.
    std::map<std::pair<int, Language>, DialogParseResult> entries;
};

const LoadedTemplates& Loaded()
{
    static const LoadedTemplates loaded = [] {
        LoadedTemplates all;
        for (std::size_t i = 0; i < dialogs::kTemplateSourceCount; ++i) {
            const dialogs::TemplateSource& source = dialogs::kTemplateSources[i];
            const Language language = std::string_view(source.language) == "de" ? Language::German : Language::English;
            DialogParseResult parsed = ParseDialogTemplate(source.text, source.name);
            if (parsed.dialog && parsed.dialog->id != source.id) {
                parsed.error = std::string(source.name) + ": holds dialog " + std::to_string(parsed.dialog->id);
                parsed.dialog.reset();
            }
            all.entries.emplace(std::pair(source.id, language), std::move(parsed));
        }
        return all;
    }();
    return loaded;
}

} // namespace

std::vector<int> DialogTemplateIds()
{
    std::vector<int> ids;
    for (const auto& [key, value] : Loaded().entries) {
        if (ids.empty() || ids.back() != key.first)
            ids.push_back(key.first);
    }
    return ids;
}

const DialogTemplate& LoadDialogTemplate(int id)
{
    return LoadDialogTemplate(id, CurrentLanguage());
}

const DialogTemplate& LoadDialogTemplate(int id, Language language)
{
    const auto& entries = Loaded().entries;
    const auto it = entries.find(std::pair(id, language));
    if (it == entries.end())
        throw std::runtime_error("no dialog template " + std::to_string(id));
    if (!it->second.dialog)
        throw std::runtime_error("dialog template " + std::to_string(id) + " is broken: " + it->second.error);
    return *it->second.dialog;
}

} // namespace trawlix
