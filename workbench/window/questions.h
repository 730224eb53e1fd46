// The workbench's message boxes: what went wrong, and the questions before unsaved work could
// be lost. Tests answer them through an answerer of their own instead of a person.
#pragma once

#include <QMap>
#include <QMessageBox>
#include <QString>
#include <functional>

namespace kestra::workbench {

struct Question {
    QMessageBox::Icon icon = QMessageBox::Question;
    QString title;
    QString text;
    QString details;  // shown on request (a list of repairs, for instance)
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // Texts for buttons whose standard text does not say what they do.
    QMap<QMessageBox::StandardButton, QString> buttonTexts;
};

// Shows the box over `parent` and returns the button pressed (Escape: the box's escape
// button).
QMessageBox::StandardButton Ask(QWidget* parent, const Question& question);
// Tells of a failure: the message, and what the user can do about it.
void Tell(QWidget* parent, const QString& title, const QString& message,
          QMessageBox::Icon icon = QMessageBox::Warning);

using Answerer = std::function<QMessageBox::StandardButton(const Question&)>;
// Replaces the person answering (an empty function restores the boxes); returns the previous.
Answerer SetAnswerer(Answerer answerer);

}  // namespace kestra::workbench
