#include "workbench/window/check_results.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kestra::workbench {

namespace {

constexpr int kIndexRole = Qt::UserRole;

// The problem without the page and field that head it ("page 3, field 1 (no. 15): ...").
QString Problem(const host::CheckFinding& finding) {
    const QString text = QString::fromStdString(finding.text);
    if (finding.part != host::CheckFinding::Part::Field) return text;
    const qsizetype colon = text.indexOf(": ");
    return colon < 0 ? text : text.mid(colon + 2);
}

}  // namespace

CheckResults::CheckResults(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    head_ = new QLabel(this);
    head_->setWordWrap(true);
    head_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(head_);
    list_ = new QTreeWidget(this);
    list_->setObjectName("checkResults");
    list_->setAccessibleName(tr("Check results"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setHeaderLabels({tr("Severity"), tr("Page"), tr("Field"), tr("Problem")});
    list_->header()->setStretchLastSection(true);
    list_->header()->setSectionResizeMode(kSeverity, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(kPage, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(kField, QHeaderView::ResizeToContents);
    layout->addWidget(list_);
    clear();
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const int index = item->data(kSeverity, kIndexRole).toInt();
        if (index >= 0 && static_cast<std::size_t>(index) < findings_.size())
            emit findingActivated(findings_[static_cast<std::size_t>(index)]);
    });
}

void CheckResults::showReport(const host::CheckReport& report, const QString& name) {
    // Errors first, each kind in the report's order.
    report_ = report;
    outOfDate_ = false;
    findings_ = report.findings;
    std::stable_partition(findings_.begin(), findings_.end(),
                          [](const host::CheckFinding& f) { return f.error(); });
    summary_ = QString::fromStdString(report.summary(name.toStdString()));
    showHead();
    list_->clear();
    const QIcon error = QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warning = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (std::size_t i = 0; i < findings_.size(); ++i) {
        const host::CheckFinding& f = findings_[i];
        auto* item = new QTreeWidgetItem(list_);
        item->setIcon(kSeverity, f.error() ? error : warning);
        item->setText(kSeverity, f.error() ? tr("Error") : tr("Warning"));
        item->setData(kSeverity, kIndexRole, static_cast<int>(i));
        if (f.page) item->setText(kPage, QString::number(f.page));
        if (f.field) item->setText(kField, QString::number(f.field));
        item->setText(kProblem, Problem(f));
        item->setToolTip(kProblem, QString::fromStdString(f.text));
    }
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
}

void CheckResults::clear() {
    report_ = {};
    findings_.clear();
    summary_.clear();
    outOfDate_ = false;
    list_->clear();
    head_->setText(tr("No check yet: Build > Check Project (Ctrl+K)."));
}

void CheckResults::markOutOfDate() {
    outOfDate_ = true;
    showHead();
}

void CheckResults::rename(const QString& name) {
    if (summary_.isEmpty()) return;  // no check yet
    summary_ = QString::fromStdString(report_.summary(name.toStdString()));
    showHead();
}

void CheckResults::showHead() {
    if (summary_.isEmpty()) return;  // no check yet
    if (outOfDate_)
        head_->setText(summary_ + tr(" - the project changed since this check; check it again "
                                     "(Ctrl+K)."));
    else
        head_->setText(report_.findings.empty()
                           ? summary_
                           : summary_ + tr(". Enter or a double click shows what a result names."));
}

}  // namespace kestra::workbench
