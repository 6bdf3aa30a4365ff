#include "FilterBar.h"

#include "DateTime.h"
#include "EventTableModel.h"
#include "ui_TForm1.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QShortcut>
#include <QTableView>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString kDateTimeFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss");

// The table shows a time to the second after rounding it to the millisecond:
// the bounds take in every time shown as the second they name.
constexpr double kHalfMillisecond = 0.0005 / datetime::kSecondsPerDay;
constexpr double kSecond = 1.0 / datetime::kSecondsPerDay;

double dayCount(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    return datetime::encodeDateTime(
               {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), 0})
        .value_or(0.0);
}

std::optional<QDateTime> dateTimeOf(double value) {
    const auto p = datetime::decode(value);
    if (!p)
        return std::nullopt;
    return QDateTime(QDate(p->year, p->month, p->day), QTime(p->hour, p->minute, p->second),
                     Qt::UTC);
}

QDateTimeEdit* timeField(QWidget* parent, const QString& name) {
    auto* edit = new QDateTimeEdit(parent);
    edit->setObjectName(name);
    edit->setTimeSpec(Qt::UTC); // times as the list has them, without the local time's gaps
    edit->setMinimumDate(QDate(100, 1, 1));
    edit->setDisplayFormat(kDateTimeFormat);
    edit->setCalendarPopup(true);
    edit->setEnabled(false);
    return edit;
}

QCheckBox* checkBox(QWidget* parent, const QString& name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

} // namespace

FilterBar::FilterBar(QMainWindow& window, Ui::TForm1& ui, EventTableModel& model)
    : QWidget(ui.ClientArea), grid_(*ui.InfoGrid), model_(model) {
    setObjectName(QStringLiteral("FilterBar"));
    setAutoFillBackground(true);
    hide();

    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("FilterSearch"));
    search_->setPlaceholderText(QStringLiteral("Поиск в информации и примечании"));
    search_->setClearButtonEnabled(true);
    auto* clearButton = new QToolButton(this);
    clearButton->setObjectName(QStringLiteral("FilterClear"));
    clearButton->setText(QStringLiteral("Сбросить"));
    clearButton->setToolTip(QStringLiteral("Показать все события в порядке списка"));
    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("FilterClose"));
    closeButton->setText(QStringLiteral("✕"));
    closeButton->setAutoRaise(true);
    closeButton->setToolTip(QStringLiteral("Скрыть фильтр (Esc)"));

    auto* first = new QHBoxLayout;
    first->addWidget(search_, 1);
    for (size_t c = 0; c < categories_.size(); ++c) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("FilterCategory%1").arg(c));
        button->setCheckable(true);
        button->setChecked(true);
        button->setAutoRaise(true);
        button->setIcon(EventTableModel::categoryIcons()[c]);
        button->setToolTip(EventTableModel::categoryNames()[c]);
        first->addWidget(button);
        categories_[c] = button;
        connect(button, &QToolButton::toggled, this, &FilterBar::apply);
    }
    first->addSpacing(8);
    first->addWidget(clearButton);
    first->addWidget(closeButton);

    fromOn_ = checkBox(this, QStringLiteral("FilterFromOn"), QStringLiteral("с"));
    toOn_ = checkBox(this, QStringLiteral("FilterToOn"), QStringLiteral("по"));
    from_ = timeField(this, QStringLiteral("FilterFrom"));
    to_ = timeField(this, QStringLiteral("FilterTo"));
    hideErased_ =
        checkBox(this, QStringLiteral("FilterHideErased"), QStringLiteral("скрыть пустые записи"));
    hideErased_->setToolTip(QStringLiteral("Записи стертой памяти: все четыре байта 0xFF"));
    auto* second = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(fromOn_), static_cast<QWidget*>(from_),
                       static_cast<QWidget*>(toOn_), static_cast<QWidget*>(to_)})
        second->addWidget(w);
    second->addStretch(1);
    second->addWidget(hideErased_);

    onlyCorrected_ = checkBox(this, QStringLiteral("FilterOnlyCorrected"),
                              QStringLiteral("только исправленные"));
    onlyNeedingCorrection_ = checkBox(this, QStringLiteral("FilterOnlyNeedingCorrection"),
                                      QStringLiteral("только требующие корректировки"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("FilterCount"));
    auto* third = new QHBoxLayout;
    third->addWidget(onlyCorrected_);
    third->addWidget(onlyNeedingCorrection_);
    third->addStretch(1);
    third->addWidget(count_);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(2);
    rows->addLayout(first);
    rows->addLayout(second);
    rows->addLayout(third);

    connect(search_, &QLineEdit::textChanged, this, &FilterBar::apply);
    for (QCheckBox* box : {fromOn_, toOn_, onlyCorrected_, onlyNeedingCorrection_, hideErased_})
        connect(box, &QCheckBox::toggled, this, &FilterBar::apply);
    connect(fromOn_, &QCheckBox::toggled, from_, &QWidget::setEnabled);
    connect(toOn_, &QCheckBox::toggled, to_, &QWidget::setEnabled);
    for (QDateTimeEdit* edit : {from_, to_})
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, &FilterBar::apply);
    connect(clearButton, &QToolButton::clicked, this, &FilterBar::clear);
    connect(closeButton, &QToolButton::clicked, this, &FilterBar::closeBar);
    connect(&model_, &EventTableModel::modelReset, this, &FilterBar::showCount);
    connect(&model_, &EventTableModel::listChanged, this, &FilterBar::offerListTimes);

    openAction_ = new QAction(QStringLiteral("Фильтр"), &window);
    openAction_->setObjectName(QStringLiteral("MenuFilter"));
    openAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    ui.N2->addAction(openAction_);
    window.addAction(openAction_); // the shortcut works with the menu closed
    connect(openAction_, &QAction::triggered, this, &FilterBar::openBar);
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, this, &FilterBar::closeBar);

    grid_.installEventFilter(this);
    showCount();
}

QString FilterBar::countText(int shown, int total) {
    return QStringLiteral("Показано %1 из %2 событий").arg(shown).arg(total);
}

EventFilter FilterBar::filter() const {
    EventFilter filter;
    filter.setSearchText(search_->text().toStdString());
    std::bitset<EventFilter::kCategoryCount> shown;
    for (size_t c = 0; c < categories_.size(); ++c)
        shown.set(c, categories_[c]->isChecked());
    filter.setCategories(shown);
    if (fromOn_->isChecked())
        filter.setFrom(dayCount(from_->dateTime()) - kHalfMillisecond);
    if (toOn_->isChecked())
        filter.setTo(
            std::nextafter(dayCount(to_->dateTime()) + kSecond - kHalfMillisecond, -INFINITY));
    filter.setOnlyCorrected(onlyCorrected_->isChecked());
    filter.setOnlyNeedingCorrection(onlyNeedingCorrection_->isChecked());
    filter.setHideErased(hideErased_->isChecked());
    return filter;
}

void FilterBar::openBar() {
    open_ = true;
    updateVisibility();
    apply();
    search_->setFocus();
    search_->selectAll();
}

void FilterBar::closeBar() {
    open_ = false;
    updateVisibility();
    apply();
    if (grid_.isVisible())
        grid_.setFocus();
}

void FilterBar::clear() {
    clearing_ = true; // one refill for all the fields
    search_->clear();
    for (QToolButton* button : categories_)
        button->setChecked(true);
    for (QCheckBox* box : {fromOn_, toOn_, onlyCorrected_, onlyNeedingCorrection_, hideErased_})
        box->setChecked(false);
    clearing_ = false;
    offerListTimes();
    model_.setSort(EventView::SortKey::ListOrder, false);
    apply();
}

void FilterBar::apply() {
    if (clearing_)
        return;
    const EventFilter wanted = open_ ? filter() : EventFilter();
    if (wanted.active() || model_.view().filter().active())
        model_.setFilter(wanted);
}

void FilterBar::showCount() {
    const EventView& view = model_.view();
    count_->setText(countText(view.shownCount(), view.totalCount()));
}

void FilterBar::offerListTimes() {
    const EventCollection* events = model_.events();
    double first = INFINITY;
    double last = -INFINITY;
    if (events)
        for (const EventInfo& e : *events)
            if (dateTimeOf(e.time)) {
                first = std::min(first, e.time);
                last = std::max(last, e.time);
            }
    const bool wasClearing = clearing_;
    clearing_ = true; // fields not in use filter nothing
    if (!fromOn_->isChecked() && std::isfinite(first))
        from_->setDateTime(*dateTimeOf(first));
    if (!toOn_->isChecked() && std::isfinite(last))
        to_->setDateTime(*dateTimeOf(last));
    clearing_ = wasClearing;
}

void FilterBar::place(const QRect& area) {
    area_ = area;
    const int height = isHidden() ? 0 : std::min(sizeHint().height(), area.height());
    setGeometry(area.x(), area.y(), area.width(), height);
    grid_.setGeometry(area.x(), area.y() + height, area.width(),
                      std::max(0, area.height() - height));
}

void FilterBar::updateVisibility() {
    // The bar goes with the table: hidden while a read-out waits for a tablet.
    setVisible(open_ && !grid_.isHidden());
    escape_->setEnabled(!isHidden());
    place(area_);
}

bool FilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &grid_ &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        updateVisibility();
    return QWidget::eventFilter(watched, event);
}
