// A prompter that answers the window's questions from a script and records what was shown, so
// the GUI tests drive whole flows without a modal dialog in the way.
#pragma once

#include <QAction>
#include <QMenu>
#include <QStringList>
#include <deque>
#include <functional>

#include "gui/prompter.h"

namespace gui_test {

class ScriptedPrompter : public gui::Prompter
{
public:
    struct Message
    {
        QString text;
        gui::MessageKind kind;
    };

    bool message(QWidget*, const QString& text, gui::MessageKind kind) override
    {
        messages.push_back({text, kind});
        if (kind != gui::MessageKind::Question)
            return false;
        if (answers.empty())
            return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        if (onQuestion)
            onQuestion(text);
        return answer;
    }
    void plainMessage(QWidget*, const QString& text) override { plainMessages << text; }
    shell::BatchSummaryChoice offerReport(QWidget*, const QString& summary) override
    {
        reportOffers << summary;
        return shell::BatchSummaryChoice::Close;
    }
    QString reportFileName(QWidget*, const QString&, const QString& filter) override
    {
        filters << filter;
        return saveName;
    }
    QString saveFileName(QWidget*, const QString&, const QString& filter) override
    {
        filters << filter;
        return saveName;
    }
    QStringList openFileNames(QWidget*, const QString&, const QString& filter) override
    {
        filters << filter;
        return openNames;
    }
    QString existingDirectory(QWidget*, const QString&) override { return folder; }
    bool openFile(const QString& path) override
    {
        opened << path;
        return true;
    }
    void openWith(QWidget*, const QString& path) override { openedWith << path; }
    QAction* contextMenu(QMenu* menu, const QPoint&) override
    {
        menusShown++;
        if (!contextChoice)
            return nullptr;
        return contextChoice(menu);
    }

    bool sawMessage(const QString& text) const
    {
        for (const Message& m : messages) {
            if (m.text == text)
                return true;
        }
        return false;
    }

    std::vector<Message> messages;
    std::deque<bool> answers;
    bool defaultAnswer = true;
    std::function<void(const QString&)> onQuestion;
    QStringList plainMessages;
    QStringList reportOffers;
    QString saveName;
    QStringList openNames;
    QString folder;
    QStringList filters;
    QStringList opened;
    QStringList openedWith;
    int menusShown = 0;
    std::function<QAction*(QMenu*)> contextChoice;
};

}  // namespace gui_test
