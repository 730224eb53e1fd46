#include "workbench/window/questions.h"

#include <QPushButton>
#include <utility>

#include "windows/qt/message_box_buttons.h"

namespace kestra::workbench {

namespace {

Answerer& CurrentAnswerer() {
    static Answerer answerer;
    return answerer;
}

}  // namespace

QMessageBox::StandardButton Ask(QWidget* parent, const Question& question) {
    if (const Answerer& answerer = CurrentAnswerer()) return answerer(question);
    QMessageBox box(question.icon, question.title, question.text, question.buttons, parent);
    box.setDefaultButton(question.defaultButton);
    if (!question.details.isEmpty()) box.setDetailedText(question.details);
    platform::qt::GiveButtonsLetters(box);
    for (auto it = question.buttonTexts.begin(); it != question.buttonTexts.end(); ++it)
        if (QAbstractButton* button = box.button(it.key())) button->setText(it.value());
    box.setWindowModality(Qt::WindowModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void Tell(QWidget* parent, const QString& title, const QString& message, QMessageBox::Icon icon) {
    Question question;
    question.icon = icon;
    question.title = title;
    question.text = message;
    Ask(parent, question);
}

Answerer SetAnswerer(Answerer answerer) {
    return std::exchange(CurrentAnswerer(), std::move(answerer));
}

}  // namespace kestra::workbench
