#pragma once

#include <QString>

#include <array>
#include <optional>

namespace psucal {

// What the unit's EEPROM holds as far as psucal knows: the as-found image, updated by every
// row write. The protocol has no checksum, so a row reply with one nibble changed by line
// noise is eight valid characters; only this copy can tell it from the truth.
class EepromShadow {
public:
    void forget();
    // Takes a whole-image reply as the as-found state; an incomplete image is ignored.
    void load(const QString& image);
    bool known() const { return known_; }

    // True when a row read of `cells` can be the truth: it matches the row as last written, or,
    // after a write the supply did not confirm, the row before it. Unknown rows agree.
    bool agrees(int row, const QString& cells) const;
    // What the row is expected to hold, for messages ("80 80 83 81", or both candidates).
    QString expected(int row) const;

    // A write the supply confirmed with "OK".
    void written(int row, const QString& cells);
    // A write without "OK": it may or may not have landed, and a read settles which.
    void unconfirmed(int row, const QString& cells);
    // A row read that agreed: from now on the row holds exactly this.
    void settle(int row, const QString& cells);

private:
    struct Row {
        QString cells;
        std::optional<QString> maybe; // a write not confirmed
    };
    bool valid(int row) const;
    std::array<Row, 160> rows_;
    bool known_ = false;
};

} // namespace psucal
