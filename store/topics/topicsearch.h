#pragma once

#include <QString>

// The rules of the topic search that both programs offer: which topic names a search text finds.
struct TopicSearchOptions
{
    bool ignoreCase = true; // both sides lower-cased with the locale's rules
    bool partial = true;    // the name contains the text
    bool live = true;       // search again at every change of the text (the dialog's concern)
    bool wildcards = false; // the text is a mask over the whole name: * any run, ? any one character

    // Live search only goes with partial match and without wildcards.
    bool liveAllowed() const { return partial && !wildcards; }
};

// Wildcards take precedence over partial match; without either the name must equal the text.
bool TopicNameMatches(const QString& name, const QString& text, const TopicSearchOptions& options);

// The mask matched against the whole text; no character but * and ? is special.
bool MatchesMask(const QString& text, const QString& mask);
