#pragma once
// The title-information window: gives one title a new title text, artist and category, or
// several titles a common artist and category. For several titles the last entry of each list
// ("<No common artists>", "<No common categories>") keeps each title's own.

#include "app/LibraryEditor.h"

#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tunquil {
class TCatList;
class TPerfList;
} // namespace tunquil

namespace tunquil::ui {

class TTuneAdder : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kNoCommonArtists = "<No common artists>";
    static constexpr const char* kNoCommonCategories = "<No common categories>";

    TTuneAdder(TCatList& categories, TPerfList& performers, QWidget* owner = nullptr);

    // Shows the window modally for one title; true when confirmed (Result() holds the choice).
    bool ShowForOne(const std::string& title, const std::string& firstName,
                    const std::string& categoryName, const std::string& lastName);
    // The same for `count` titles sharing the names given (empty where they differ).
    bool ShowForMany(int count, const std::string& firstName, const std::string& categoryName,
                     const std::string& lastName);
    // ShowForOne or ShowForMany, as the prefill's count says.
    bool ShowFor(const TitleEditPrefill& prefill);

    bool Accepted() const { return accepted_; }
    const TitleEditResult& Result() const { return result_; }

    QLabel* SelectionLabel() const { return selection_; }
    QLineEdit* TitleEdit() const { return title_; }
    QComboBox* Artists() const { return artists_; }
    QComboBox* CategoriesBox() const { return categories_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    bool Run();
    void FillCombos();
    void OkClicked();

    TCatList& categoryList_;
    TPerfList& performerList_;
    QLabel* selection_;
    QLineEdit* title_;
    QComboBox* artists_;
    QComboBox* categories_;
    QPushButton* ok_;
    QPushButton* cancel_;
    bool many_ = false;
    bool accepted_ = false;
    TitleEditResult result_;
    // The keys paired with the combos' entries, in entry order.
    std::vector<int32_t> categoryKeys_, performerKeys_;
};

} // namespace tunquil::ui
