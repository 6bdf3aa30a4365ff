#pragma once

#include "ReadOutJudgement.h"

// What one read-out came to, as the window is to show it.
struct ReadOutReport {
    enum class Kind {
        Judged,         // the judgement of the reading, its texts and its decoder
        AdapterFailure, // the adapter failed during the read: nothing to judge
    };
    Kind kind = Kind::Judged;
    ReadOutOutcome judgement; // Judged only
    TabletReading reading;

    // The read-out stops after this report (its error dialog shown).
    bool endsReadOut() const {
        return kind == Kind::AdapterFailure || judgement.errorMessage.has_value();
    }
    // The reading decodes: the window may ask whether to show its events.
    bool decodes() const { return kind == Kind::Judged && judgement.variant.has_value(); }
};
