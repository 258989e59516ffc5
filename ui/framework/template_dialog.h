#pragma once

#include "resources/dialog_template.h"
#include "ui/framework/dialog_units.h"

#include <QDialog>
#include <QIcon>

#include <functional>
#include <map>
#include <utility>
#include <vector>

// A dialog built from a template: controls at their dialog-unit positions in the dialog font,
// fixed size unless made resizable, controls found by id, the framework's OK/Cancel handling and
// data exchange.
namespace trawlix::ui {

class DataExchange;

// How a control follows a resizable dialog: the shares (0 to 100 percent) of the width and the
// height the dialog gained over its template size by which the control moves and grows.
struct DynamicLayout
{
    int moveX = 0;
    int moveY = 0;
    int sizeX = 0;
    int sizeY = 0;
};

// Supplies the program's images by resource id (icons of icon controls). Without one, or for an
// unknown id, icon controls stay empty.
using ResourceImageLoader = std::function<QIcon(int id)>;
void SetResourceImageLoader(ResourceImageLoader loader);
[[nodiscard]] QIcon LoadResourceImage(int id);

// The font a template names: the platform's logical dialog font stands for the application font.
[[nodiscard]] QFont DialogFont(const DialogTemplate& dialogTemplate);

class TemplateDialog : public QDialog
{
    Q_OBJECT
public:
    // The template `templateId` in the current language.
    explicit TemplateDialog(int templateId, QWidget* parent = nullptr);
    explicit TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    // The control with `id`, or null.
    [[nodiscard]] QWidget* Control(int id) const;
    template <class T> [[nodiscard]] T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }
    [[nodiscard]] const DialogTemplate& Template() const { return template_; }
    [[nodiscard]] DialogBaseUnits BaseUnits() const { return baseUnits_; }
    [[nodiscard]] QRect MapDialogRect(const QRect& units) const { return DialogUnitsToPixels(units, baseUnits_); }

    // Runs DoDataExchange: true reads the controls back into the members (with the checks),
    // false writes the members into the controls. Returns false when a check failed.
    bool UpdateData(bool saveAndValidate = true);
    // Ends a modal run with `result` (kIdOk, kIdCancel or a control id).
    void EndDialog(int result) { done(result); }

    // Makes the dialog resizable (call before it is shown): the template's size is the smallest,
    // the controls listed by id follow the size by their rule, the others keep their places.
    void EnableDynamicLayout(const std::vector<std::pair<int, DynamicLayout>>& controls);

    void setVisible(bool visible) override;
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

signals:
    // A push button other than OK (1) and Cancel (2) was clicked.
    void Command(int id);

protected:
    // Called once, just before the dialog is first shown. The default writes the members into
    // the controls. Returning false means the handler set the focus itself.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    // Reads the controls back and closes with 1 when the checks pass.
    virtual void OnOK();
    // Closes with 2; also for Escape and the close box.
    virtual void OnCancel();
    // A button click; the default maps 1 and 2 to OnOK and OnCancel and emits Command otherwise.
    virtual void OnCommand(int id);
    void resizeEvent(QResizeEvent* event) override;

private:
    void Build();
    QWidget* CreateControl(const ControlTemplate& control, QWidget*& pendingBuddyLabel);

    DialogTemplate template_;
    DialogBaseUnits baseUnits_;
    std::map<int, QWidget*> controls_;
    bool initialised_ = false;

    struct DynamicControl
    {
        QWidget* widget;
        QRect templateRect;
        DynamicLayout layout;
    };
    std::vector<DynamicControl> dynamic_;
    QSize templateSize_;
};

} // namespace trawlix::ui
