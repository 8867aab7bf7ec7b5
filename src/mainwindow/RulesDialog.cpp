#include "mainwindow/RulesDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

RulesDialog::RulesDialog(const QString &path, std::function<RulesFile::Extensions()> extensions,
                         QWidget *parent)
    : QDialog(parent), path_(path), extensions_(std::move(extensions)) {
    setObjectName(QStringLiteral("RulesDialog"));
    setWindowTitle(QStringLiteral("Rules"));
    auto *layout = new QVBoxLayout(this);
    auto *where = new QLabel(path, this);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where);
    RulesText = new QPlainTextEdit(this);
    RulesText->setObjectName(QStringLiteral("RulesText"));
    RulesText->setAccessibleName(QStringLiteral("Rules"));
    RulesText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    RulesText->setPlaceholderText(QStringLiteral("stale 60s\nCPU* warn 70 crit 85\nallow 192.0.2.0/24"));
    layout->addWidget(RulesText);
    RulesProblem = new QLabel(this);
    RulesProblem->setObjectName(QStringLiteral("RulesProblem"));
    RulesProblem->setWordWrap(true);
    RulesProblem->setStyleSheet(QStringLiteral("color: #b00000"));
    RulesProblem->hide();
    layout->addWidget(RulesProblem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    SaveButton = buttons->button(QDialogButtonBox::Save);
    SaveButton->setObjectName(QStringLiteral("SaveButton"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (save())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(520, 360);
    reload();
}

void RulesDialog::reload() {
    QString failure;
    bool truncated = false;
    shown_ = RulesFile::readText(path_, &truncated, &failure);
    RulesText->setPlainText(shown_);
    // A file that could not be read is never replaced from here: its lines would be lost.
    SaveButton->setEnabled(failure.isEmpty());
    const QString problem =
        !failure.isEmpty() ? QStringLiteral("%1 could not be read: %2").arg(path_, failure)
        : truncated ? QStringLiteral("Only the first %1 KiB of the file are shown; saving replaces the "
                                     "whole file with them.")
                          .arg(RulesFile::MaxBytes / 1024)
                    : QString();
    RulesProblem->setText(problem);
    RulesProblem->setVisible(!problem.isEmpty());
}

bool RulesDialog::save() {
    const QString text = RulesText->toPlainText();
    const RulesFile::Parsed parsed = RulesFile::parse(text, extensions_());
    QString problem;
    if (!parsed.errors.empty()) {
        problem = QStringLiteral("Nothing was saved.");
        for (const RulesFile::LineError &e : parsed.errors)
            problem += QStringLiteral("\nline %1: %2").arg(e.line).arg(e.what);
    } else if (text.toUtf8().size() > RulesFile::MaxBytes) {
        problem = QStringLiteral("Nothing was saved: the rules may be at most %1 KiB.")
                      .arg(RulesFile::MaxBytes / 1024);
    } else if (QString failure, now = RulesFile::readText(path_, nullptr, &failure); !failure.isEmpty()) {
        problem = QStringLiteral("Nothing was saved: %1 could not be read: %2").arg(path_, failure);
    } else if (now != shown_) {
        problem = QStringLiteral("Nothing was saved: %1 changed since it was shown (the view's choices are "
                                 "kept there too). Close and open Tools, Rules... again to see it.")
                      .arg(path_);
    } else if (QString reason; !RulesFile::write(path_, text, &reason)) {
        problem = QStringLiteral("%1 could not be written: %2").arg(path_, reason);
    }
    RulesProblem->setText(problem);
    RulesProblem->setVisible(!problem.isEmpty());
    if (!problem.isEmpty())
        return false;
    shown_ = text;
    emit saved(text);
    return true;
}
