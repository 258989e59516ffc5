#pragma once

#include <QComboBox>
#include <QIcon>
#include <QPushButton>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QKeyEvent;
class QLineEdit;
class QPoint;

// Controls the templates use beyond what Qt offers as it stands.
namespace trawlix::ui {

// An IPv4 address in four fields, typed the way the platform's address control takes it: three
// digits complete a field and typing goes on in the next, where a "." typed right after that
// move is the one the control already supplied and is ignored; "." in a field with digits moves
// on, Backspace in an empty field and the arrow keys at a field's edge move back and forth; a
// value above a field's range becomes its upper bound with a short hint; a pasted dotted
// address fills the fields. Each field has a range (0..255 unless set otherwise). A field may be
// blank, and blank fields are told apart from zeros.
class IpAddressEdit final : public QWidget
{
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);
    ~IpAddressEdit() override;

    // All four fields blank.
    [[nodiscard]] bool IsBlank() const;
    // Number of fields that hold a value.
    [[nodiscard]] int FilledFieldCount() const;
    // The address with the first field as the highest byte; blank fields count as 0.
    [[nodiscard]] std::uint32_t Address() const;
    void SetAddress(std::uint32_t address);
    // Dotted text; blank fields stay empty ("192.168..20").
    [[nodiscard]] QString Text() const;
    // Takes "a.b.c.d" with empty fields allowed; false (and no change) for anything else or a
    // value outside a field's range.
    bool SetText(const QString& dotted);
    void Clear();
    // A field's value, or nothing when blank.
    [[nodiscard]] std::optional<int> Field(int index) const;
    void SetField(int index, std::optional<int> value);
    // Limits field `index` (0..3); a value now outside is brought into range.
    void SetFieldRange(int index, int low, int high);
    [[nodiscard]] QLineEdit* FieldEdit(int index) const { return fields_[static_cast<std::size_t>(index)]; }

signals:
    void AddressChanged();

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool OnFieldKey(std::size_t field, const QKeyEvent& key);
    void OnFieldEdited(std::size_t field, const QString& text);
    void ShowFieldMenu(std::size_t field, const QPoint& globalPos);
    // The clipboard into the fields: a dotted address fills them, other text goes to `field`.
    void Paste(std::size_t field);
    // Moves the focus to `field` with its text selected (forwards) or the cursor at its end.
    void EnterField(std::size_t field, bool selectAll);
    // Puts a value above the field's range to its upper bound and says so beside the field.
    void ClampWithHint(std::size_t field, int value);

    std::array<QLineEdit*, 4> fields_{};
    std::array<int, 4> low_{0, 0, 0, 0};
    std::array<int, 4> high_{255, 255, 255, 255};
    // The field the control moved to after three digits, until a key is typed there.
    int justAdvanced_ = -1;
};

// A drop-down list that keeps its entries sorted (case-insensitively) when asked to, with the
// platform's exact-match search.
class SortedComboBox final : public QComboBox
{
    Q_OBJECT
public:
    explicit SortedComboBox(bool sorted, QWidget* parent = nullptr);

    // Adds at the sorted place (or at the end when unsorted); returns the index.
    int AddString(const QString& text);
    // First entry after `start` (-1: from the top) that equals `text` ignoring case, searching
    // round to the start again; -1 when there is none.
    [[nodiscard]] int FindStringExact(int start, const QString& text) const;
    [[nodiscard]] bool IsSorted() const { return sorted_; }

private:
    bool sorted_;
};

// A push button with a normal, a hot (pointer over it) and a disabled image.
class ImageButton final : public QPushButton
{
    Q_OBJECT
public:
    enum class State { Normal, Hot, Disabled };

    explicit ImageButton(const QString& text, QWidget* parent = nullptr);

    void SetImages(const QIcon& normal, const QIcon& hot, const QIcon& disabled);
    [[nodiscard]] State ImageState() const;

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ShowImage();
    QIcon normal_;
    QIcon hot_;
    QIcon disabled_;
    bool hovered_ = false;
};

} // namespace trawlix::ui
