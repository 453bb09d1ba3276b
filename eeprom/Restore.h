#pragma once

#include <QString>
#include <QStringList>

namespace psucal {

class EepromEditor;

// Puts an as-found backup back into the connected supply with the editor's write rules (rows
// 8..57 are never written), then compares what the supply reads back with the file.
class Restore {
public:
    struct Outcome {
        bool restored = false; // every written row read back equal to the file
        bool sent = false;     // anything was written to the supply
        QString summary;       // for the operator, one or a few lines
        QStringList differing; // written rows ("060") that read back otherwise
        int exitStatus() const { return restored ? 0 : 1; }
    };

    explicit Restore(EepromEditor& editor) : editor_(editor) {}

    // Nothing is sent unless the file is a complete backup and, without `force`, holds the
    // serial number of the unit connected.
    Outcome run(const QString& path, bool force);

private:
    EepromEditor& editor_;
};

} // namespace psucal
