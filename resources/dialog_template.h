#pragma once

#include "resources/string_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Dialog templates as data: the size, caption, font and controls of a dialog in dialog units,
// one set per language with the same control ids. The GUI builds its dialogs from these.
namespace trawlix {

enum class ControlKind { Static, GroupBox, Button, CheckBox, Edit, IpAddress, DropDown, ListView, Progress, Icon };

// Id of controls that are never addressed (labels, frames).
inline constexpr int kNoControlId = -1;

enum class ControlStyle : std::uint32_t {
    TabStop = 1u << 0,
    Group = 1u << 1,
    Disabled = 1u << 2,
    Hidden = 1u << 3,
    Default = 1u << 4, // the default push button
    Sorted = 1u << 5,  // list entries kept in order
    VScroll = 1u << 6,
    Password = 1u << 7, // characters of an edit hidden
    Bold = 1u << 8,
    NoPrefix = 1u << 9, // '&' shown as it is, no mnemonic
    Report = 1u << 10,  // list view in report (details) form
    Image = 1u << 11,   // push button that shows images
};

enum class DialogStyle : std::uint32_t {
    ModalFrame = 1u << 0,
    SysMenu = 1u << 1,
    MinimizeBox = 1u << 2,
    MaximizeBox = 1u << 3,
    AppWindow = 1u << 4, // shown in the task bar
};

struct ControlTemplate
{
    int id = kNoControlId;
    ControlKind kind = ControlKind::Static;
    std::string caption; // UTF-8
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::uint32_t styles = 0;
    int imageId = 0; // resource id of an icon control's image; 0 for none

    [[nodiscard]] bool Has(ControlStyle style) const { return (styles & static_cast<std::uint32_t>(style)) != 0; }
};

struct DialogTemplate
{
    int id = 0;
    int width = 0; // client area, dialog units
    int height = 0;
    std::string caption;
    std::string fontFamily;
    int fontPoints = 0;
    std::uint32_t styles = 0;
    std::vector<ControlTemplate> controls; // in tab order

    [[nodiscard]] bool Has(DialogStyle style) const { return (styles & static_cast<std::uint32_t>(style)) != 0; }
    // The control with `id`, or null (also for kNoControlId).
    [[nodiscard]] const ControlTemplate* Find(int id) const;
};

struct DialogParseResult
{
    std::optional<DialogTemplate> dialog;
    std::string error; // "<source>:<line>: <reason>" when dialog is empty
};

// Reads one template text in the format of resources/dialogs/README.txt.
[[nodiscard]] DialogParseResult ParseDialogTemplate(std::string_view text, std::string_view sourceName = "template");

// The ids of the compiled-in templates, ascending.
[[nodiscard]] std::vector<int> DialogTemplateIds();

// The compiled-in template `id` in the current (or given) language. An unknown id or a template
// that does not parse throws std::runtime_error: that is a fault of the build, never of the user.
[[nodiscard]] const DialogTemplate& LoadDialogTemplate(int id);
[[nodiscard]] const DialogTemplate& LoadDialogTemplate(int id, Language language);

} // namespace trawlix
