#pragma once

// A run that shows nothing and questions nobody answers, for timing the engine alone.

#include <QCoreApplication>
#include <QString>

#include "archive/Questions.h"
#include "archive/UnzipCallbacks.h"
#include "scan/RunEvents.h"

namespace quillery::bench {

// Hears a run and shows nothing; counts the matches.
class SilentEvents : public RunEvents {
  public:
    explicit SilentEvents(bool handleEvents) : handleEvents_(handleEvents) {}

    int rows = 0;
    void phase(RunPhase phase) override {
        if (phase == RunPhase::Preparing) {
            rows = 0;
        }
    }
    void archiveFound(const FoundArchive&) override { ++rows; }
    void yieldToEvents() override {
        if (handleEvents_) {
            QCoreApplication::processEvents();
        }
    }

  private:
    bool handleEvents_;
};

class NoQuestions : public Questions {
  public:
    void message(const QString&, const QString&, MessageStyle) override {}
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    QString askPassword(const QString&) override { return {}; }
    int askReplace(const QString&, const QString&) override { return kReplaceNo; }
};

}  // namespace quillery::bench
