// An Interaction that answers from a script and records every call, for tests:
// queue the answers, run the export, then assert the exact texts, captions,
// types and save dialog requests.
#pragma once

#include <ledgra/LedgraInteraction.h>

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ledgra {

struct InteractionCall {
    enum Kind { SaveDialog, AfxMessageBox, MessageBoxA };
    Kind kind = SaveDialog;
    std::string text;     // message boxes
    std::string caption;  // MessageBoxA only; AfxMessageBox takes the host's title
    unsigned type = 0;
    unsigned helpId = 0;
    SaveDialogRequest request;  // SaveDialog only
};

class ScriptedInteraction : public Interaction {
public:
    // The next save dialog answers IDOK with path.
    void QueueSave(std::string path) { saves_.push_back({IDOK, std::move(path)}); }
    void QueueSaveCancel() { saves_.push_back({IDCANCEL, std::string()}); }
    // Every save dialog the queue leaves unanswered answers IDOK with path.
    void AnswerEverySave(std::string path) { everySave_ = std::move(path); }
    // The next message box (of either kind) answers with result (IDOK, IDYES, IDNO ...).
    void QueueAnswer(int result) { answers_.push_back(result); }

    // Unscripted calls answer Cancel (save dialog, unless AnswerEverySave), OK (MB_OK boxes) or No.
    int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) override {
        InteractionCall call;
        call.kind = InteractionCall::SaveDialog;
        call.request = request;
        calls.push_back(std::move(call));
        if (saves_.empty() && everySave_) pathOut = *everySave_;
        if (saves_.empty()) return everySave_ ? IDOK : IDCANCEL;
        auto answer = std::move(saves_.front());
        saves_.pop_front();
        if (answer.first == IDOK) pathOut = answer.second;
        return answer.first;
    }
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override {
        InteractionCall call;
        call.kind = InteractionCall::AfxMessageBox;
        call.text = text;
        call.type = type;
        call.helpId = helpId;
        calls.push_back(std::move(call));
        return NextAnswer(type);
    }
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override {
        InteractionCall call;
        call.kind = InteractionCall::MessageBoxA;
        call.text = text;
        call.caption = caption;
        call.type = type;
        calls.push_back(std::move(call));
        return NextAnswer(type);
    }

    // Texts of the message boxes shown, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const InteractionCall& c : calls)
            if (c.kind != InteractionCall::SaveDialog) texts.push_back(c.text);
        return texts;
    }

    std::vector<InteractionCall> calls;

private:
    int NextAnswer(unsigned type) {
        if (answers_.empty()) return (type & 0xF) == MB_OK ? IDOK : IDNO;
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    std::deque<std::pair<int, std::string>> saves_;
    std::deque<int> answers_;
    std::optional<std::string> everySave_;
};

// Installs an interaction for the current scope and restores the library's own after.
class ScopedInteraction {
public:
    explicit ScopedInteraction(Interaction& interaction) { SetInteraction(&interaction); }
    ~ScopedInteraction() { SetInteraction(nullptr); }
    ScopedInteraction(const ScopedInteraction&) = delete;
    ScopedInteraction& operator=(const ScopedInteraction&) = delete;
};

}  // namespace ledgra
