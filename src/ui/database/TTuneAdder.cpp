#include "ui/database/TTuneAdder.h"

#include "base/Host.h"
#include "base/Text.h"
#include "database/TCatList.h"
#include "database/TPerfList.h"
#include "ui/controls/TMessageDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

namespace tunquil::ui {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QLabel* Caption(const QString& text, const QString& hint, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setToolTip(hint);
    return label;
}

QComboBox* EditableCombo(const char* name, const QString& accessible, const QString& hint,
                         QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(16);
    box->setAccessibleName(accessible);
    box->setToolTip(hint);
    box->lineEdit()->setAccessibleName(accessible);
    box->lineEdit()->setPlaceholderText("<Select from list>");
    return box;
}

// The entry the box's text stands for: the chosen entry while its text is unchanged, else an
// entry of exactly that text; -1 when the text was typed.
int EntryOf(const QComboBox* box) {
    const QString text = box->currentText();
    if (box->currentIndex() >= 0 && box->itemText(box->currentIndex()) == text)
        return box->currentIndex();
    return box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

} // namespace

TTuneAdder::TTuneAdder(TCatList& categories, TPerfList& performers, QWidget* owner)
    : QDialog(owner), categoryList_(categories), performerList_(performers) {
    setObjectName("TTuneAdder");
    setWindowTitle(" MIDI Selection Information");
    setAccessibleName("MIDI Selection Information");
    const int dpi = logicalDpiX();
    auto px = [dpi](int pixels) { return pixels * dpi / 96; };

    auto* top = new QFrame(this);
    top->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* topLayout = new QVBoxLayout(top);
    auto* heading = new QLabel("MIDI Selection:", top);
    heading->setAlignment(Qt::AlignHCenter);
    selection_ = new QLabel(top);
    selection_->setObjectName("SelectionLabel");
    selection_->setAccessibleName("Selection");
    selection_->setAlignment(Qt::AlignHCenter);
    QFont bold = selection_->font();
    bold.setBold(true);
    selection_->setFont(bold);
    topLayout->addWidget(heading);
    topLayout->addWidget(selection_);

    auto* middle = new QFrame(this);
    middle->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* grid = new QGridLayout(middle);
    auto* middleHeading = new QLabel("Edit Selection Information", middle);
    middleHeading->setAlignment(Qt::AlignHCenter);
    grid->addWidget(middleHeading, 0, 0, 1, 2);
    title_ = new QLineEdit(middle);
    title_->setObjectName("TitleEdit");
    title_->setAccessibleName("Title");
    title_->setToolTip("Edit title");
    title_->setPlaceholderText("<up to 35 characters incl. spaces>");
    const QString artistHint = "Title's Performer and/or Original Composer";
    const QString categoryHint = "Title's Music Category";
    artists_ = EditableCombo("Artists", "Artist",
                             "Last name, first name: e.g. \"Bach, Johann Sebastian\", "
                             "\"Beatles\" or \"Joplin, Scott\"",
                             middle);
    categories_ = EditableCombo("Categories", "Category",
                                "e.g. Classical, Jazz, Rock, Ragtime, Film, Christmas", middle);
    grid->addWidget(Caption("TITLE", "Edit title", middle), 1, 0);
    grid->addWidget(title_, 1, 1);
    grid->addWidget(Caption("ARTIST", artistHint, middle), 2, 0);
    grid->addWidget(artists_, 2, 1);
    grid->addWidget(Caption("CATEGORY", categoryHint, middle), 3, 0);
    grid->addWidget(categories_, 3, 1);
    grid->setColumnStretch(1, 1);

    ok_ = new QPushButton("&OK", this);
    ok_->setObjectName("OK");
    ok_->setAccessibleName("OK");
    cancel_ = new QPushButton("&Cancel", this);
    cancel_->setObjectName("Cancel");
    cancel_->setAccessibleName("Cancel");
    // Enter in any field saves, as OK does; Tab moves between the fields.
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &TTuneAdder::OkClicked);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addSpacing(px(25));
    buttons->addWidget(cancel_);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(top);
    layout->addWidget(middle, 1);
    layout->addLayout(buttons);
    resize(px(408), px(255));
}

bool TTuneAdder::ShowForOne(const std::string& title, const std::string& firstName,
                            const std::string& categoryName, const std::string& lastName) {
    many_ = false;
    selection_->setText(Q(title));
    title_->setText(Q(title));
    title_->setEnabled(true);
    artists_->setEditText(Q(JoinArtistText(firstName, lastName)));
    categories_->setEditText(Q(categoryName));
    return Run();
}

bool TTuneAdder::ShowForMany(int count, const std::string& firstName,
                             const std::string& categoryName, const std::string& lastName) {
    many_ = true;
    selection_->setText(QString::number(count) + " titles to be assigned an artist and a category");
    title_->setText("Not applicable");
    title_->setEnabled(false);
    const bool commonArtist = !firstName.empty() || !lastName.empty();
    artists_->setEditText(commonArtist ? Q(JoinArtistText(firstName, lastName))
                                       : QString("<no common artist selected>"));
    categories_->setEditText(categoryName.empty() ? QString("<no common category selected>")
                                                  : Q(categoryName));
    return Run();
}

bool TTuneAdder::ShowFor(const TitleEditPrefill& prefill) {
    if (prefill.count > 1)
        return ShowForMany(prefill.count, prefill.firstName, prefill.categoryName,
                           prefill.lastName);
    return ShowForOne(prefill.title, prefill.firstName, prefill.categoryName, prefill.lastName);
}

void TTuneAdder::FillCombos() {
    // Filling keeps the texts the caller set.
    const QString artistText = artists_->currentText();
    const QString categoryText = categories_->currentText();
    // Sorted copies: the lists themselves keep their order (the category tabs follow it).
    auto categories = categoryList_.Items();
    std::stable_sort(categories.begin(), categories.end(),
                     [](const auto& a, const auto& b) { return a.name < b.name; });
    auto performers = performerList_.Items();
    std::stable_sort(performers.begin(), performers.end(), [](const auto& a, const auto& b) {
        return std::tie(a.lastName, a.firstName) < std::tie(b.lastName, b.firstName);
    });
    categories_->clear();
    categoryKeys_.clear();
    for (const auto& c : categories) {
        categories_->addItem(Q(c.name));
        categoryKeys_.push_back(c.ck);
    }
    artists_->clear();
    performerKeys_.clear();
    for (const auto& p : performers) {
        artists_->addItem(Q(JoinArtistText(p.firstName, p.lastName)));
        performerKeys_.push_back(p.pk);
    }
    artists_->setCurrentIndex(-1);
    categories_->setCurrentIndex(-1);
    artists_->setEditText(artistText);
    categories_->setEditText(categoryText);
    if (many_) {
        artists_->addItem(kNoCommonArtists);
        categories_->addItem(kNoCommonCategories);
        if (artistText == "<no common artist selected>")
            artists_->setCurrentIndex(artists_->count() - 1);
        if (categoryText == "<no common category selected>")
            categories_->setCurrentIndex(categories_->count() - 1);
    }
}

bool TTuneAdder::Run() {
    accepted_ = false;
    result_ = {};
    FillCombos();
    if (parentWidget()) {
        QRect frame = parentWidget()->window()->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    if (many_) {
        artists_->setFocus();
    } else {
        title_->setFocus();
        title_->selectAll();
    }
    exec();
    categoryKeys_.clear();
    performerKeys_.clear();
    return accepted_;
}

void TTuneAdder::OkClicked() {
    const bool keepOwnLast = many_;
    const int categoryEntry = EntryOf(categories_);
    const int artistEntry = EntryOf(artists_);
    const std::string categoryText = categories_->currentText().trimmed().toStdString();
    const std::string artistText = artists_->currentText().trimmed().toStdString();
    // Everything is checked before anything is added: a refused edit leaves no new category or
    // performer behind.
    // For several titles a box left blank changes nothing; for one it cancels.
    const bool artistKept = many_ && artistEntry < 0 && artistText.empty();
    const bool categoryKept = many_ && categoryEntry < 0 && categoryText.empty();
    if ((artistEntry < 0 && artistText.empty() && !artistKept) ||
        (categoryEntry < 0 && categoryText.empty() && !categoryKept)) {
        reject();
        return;
    }
    TitleEditResult result;
    auto paired = [keepOwnLast](int entry, const QComboBox* box,
                                const std::vector<int32_t>& keys) -> int32_t {
        if (keepOwnLast && entry == box->count() - 1)
            return kKeepOwnKey;
        return entry < static_cast<int>(keys.size()) ? keys[entry] : 0;
    };
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (categoryKept)
            result.ck = kKeepOwnKey;
        else
            result.ck = categoryEntry >= 0 ? paired(categoryEntry, categories_, categoryKeys_)
                                           : categoryList_.AddCategory(categoryText);
        if (artistKept) {
            result.pk = kKeepOwnKey;
        } else if (artistEntry >= 0) {
            result.pk = paired(artistEntry, artists_, performerKeys_);
        } else {
            std::string first, last;
            SplitArtistText(artistText, first, last);
            result.pk = performerList_.FindOrAdd(Trim(first), Trim(last));
        }
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        TMessageDialog box(this);
        box.MsgType = TMsgDlgType::mtError;
        box.Buttons = mbCancel;
        box.Execute(QString::fromStdString(e.what()));
        return;
    }
    result.title = many_ ? std::string() : title_->text().toStdString();
    result_ = result;
    accepted_ = true;
    accept();
}

} // namespace tunquil::ui
