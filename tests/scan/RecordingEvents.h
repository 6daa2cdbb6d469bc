#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "archive/Staging.h"
#include "scan/Formats.h"
#include "scan/RunEvents.h"

namespace quillery::test {

// Records what a run reports, in order. onYield runs at every yield with its number (1, 2,
// ...), so a test can stop or close at a chosen point.
class RecordingEvents : public RunEvents {
  public:
    QString statusText;
    QStringList statusHistory;  // every status, the checking ones included
    QString checked = QStringLiteral("     0"), found = QStringLiteral("     0");
    std::vector<FoundArchive> rows;
    std::vector<RunPhase> phases;
    QStringList patternTexts;  // the default pattern texts the run asked to show
    QStringList notices;
    int yields = 0, waits = 0;
    std::function<void(int)> onYield;

    void phase(RunPhase phase) override {
        phases.push_back(phase);
        if (phase == RunPhase::Preparing) {
            rows.clear();
        }
    }
    void status(const QString& text) override {
        statusText = text;
        statusHistory.push_back(text);
    }
    void checking(const std::string& archive) override { status(CheckingStatus(archive)); }
    void counts(std::int64_t c, std::int64_t f) override {
        checked = FormatCounter(c);
        found = FormatCounter(f);
    }
    void archiveFound(const FoundArchive& row) override { rows.push_back(row); }
    void yieldToEvents() override {
        ++yields;
        if (onYield) {
            onYield(yields);
        }
    }
    void waiting() override { ++waits; }  // not a yield point
    void patternTextSet(const QString& text) override { patternTexts.push_back(text); }
    void notice(const QString& text) override { notices.push_back(text); }

    QStringList rowNames() const {
        QStringList names;
        for (const FoundArchive& row : rows) {
            names.push_back(row.fileName);
        }
        return names;
    }
};

}  // namespace quillery::test
