#pragma once

#include <QString>

#include <memory>

// Answers the next modal message box from the event loop: records its caption and text and
// presses its default (or escape) button.
struct SeenMessageBox
{
    QString caption;
    QString text;
    int count = 0;
};

std::shared_ptr<SeenMessageBox> AnswerMessageBoxes();
