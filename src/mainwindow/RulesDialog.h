#pragma once

#include "rules/RulesFile.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Tools, Rules...: the rules file as text. Save checks every line first and, when one cannot be read,
// names it and writes nothing; otherwise it replaces the file in one step and says so through saved(),
// after which the rules take effect.
class RulesDialog : public QDialog {
    Q_OBJECT
public:
    // `extensions` gives the checks of the keywords read outside the rules themselves.
    RulesDialog(const QString &path, std::function<RulesFile::Extensions()> extensions,
                QWidget *parent = nullptr);

    // Loads the file's current text (again) into the editor.
    void reload();
    // Checks and writes; false, with the reason shown in the dialog, when nothing was written.
    bool save();

    QPlainTextEdit *RulesText = nullptr;
    QLabel *RulesProblem = nullptr;
    QPushButton *SaveButton = nullptr;

signals:
    void saved(const QString &text);

private:
    QString path_;
    QString shown_; // the file's text as last read or written here
    std::function<RulesFile::Extensions()> extensions_;
};
